// Runs one device sequence of the parameter page at a time on its own thread ("ParamSequence"),
// so that the window thread stays responsive for the several seconds a sequence may take.
//
// The sequence works on a copy of the record handed in; the completion hears the result and the
// copy on the worker thread (the page posts both to its window, which applies a read only when
// it succeeded). Start, IsBusy and the destructor belong to one thread (the page's).
#pragma once

#include <atomic>
#include <functional>

#include "core/base_thread.h"
#include "pages/params/param_page_rules.h"

constexpr const char* kParamSequenceThreadName = "ParamSequence";

class ParamSequenceWorker : private IThreadFuncInterface {
public:
    using Completion = std::function<void(int result, const RadarParamSetting& copy)>;

    // The link is not owned and must outlive the worker.
    explicit ParamSequenceWorker(IRadarParamLink& link);
    // Waits for a sequence still running (its commands end by their own time limits).
    ~ParamSequenceWorker() override;
    ParamSequenceWorker(const ParamSequenceWorker&) = delete;
    ParamSequenceWorker& operator=(const ParamSequenceWorker&) = delete;

    // Starts the sequence on `copy`: 1 when started, 0 when one still runs or no thread could be
    // made (logged; the completion is then never called).
    int Start(ParamSequence sequence, const RadarParamSetting& copy, Completion completion);

    // True while a started sequence has not called its completion yet.
    bool IsBusy();

private:
    int ThreadLoop(uint64_t param) override;

    IRadarParamLink& m_link;
    ParamSequence m_sequence = ParamSequence::Read;  // written before the worker starts
    RadarParamSetting m_copy;
    Completion m_completion;
    std::atomic<bool> m_running{false};  // from Start until the completion has returned
    CBaseThread m_thread;
};
