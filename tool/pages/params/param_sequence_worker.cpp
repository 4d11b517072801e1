#include "pages/params/param_sequence_worker.h"

#include "core/dbg_output.h"

namespace {
constexpr int kParamSequenceThreadPriority = 0;
constexpr int kParamSequenceStackBytes = 0;  // the default
}  // namespace

ParamSequenceWorker::ParamSequenceWorker(IRadarParamLink& link) : m_link(link) {}

ParamSequenceWorker::~ParamSequenceWorker() {
    m_thread.StopThread();
}

int ParamSequenceWorker::Start(ParamSequence sequence, const RadarParamSetting& copy,
                               Completion completion) {
    if (IsBusy()) return 0;
    // The previous run's body has returned; join its thread before the members are reused.
    m_thread.StopThread();
    m_sequence = sequence;
    m_copy = copy;
    m_completion = std::move(completion);
    m_running = true;
    if (!m_thread.StartThread(kParamSequenceThreadName, this, 0, kParamSequenceThreadPriority,
                              kParamSequenceStackBytes, 0)) {
        DbgOutputA(kDbgLevelError, "Parameter sequence: no thread could be started\r\n");
        m_completion = nullptr;
        m_running = false;
        return 0;
    }
    return 1;
}

bool ParamSequenceWorker::IsBusy() {
    return m_running.load();
}

int ParamSequenceWorker::ThreadLoop(uint64_t /*param*/) {
    const int result = RunParamSequence(m_link, m_sequence, m_copy);
    if (m_completion) m_completion(result, m_copy);
    m_running = false;
    return 0;
}
