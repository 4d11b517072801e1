// This build installed with `cmake --install` into a private temporary root (DESTDIR, prefix
// /usr), and its programs run from there with the dynamic loader reporting every file it loads
// (LD_DEBUG=files), so that a test sees whether anything came from the build or source tree.
//
// The build tree is the parent of ORBO_TEST_BIN_DIR (CTest sets it). Used by one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/process_runner.h"

class TempDir;

class InstalledTree {
public:
    static constexpr const char* kPrefix = "/usr";

    // Installs; Installed() tells whether it worked, Error() why not.
    InstalledTree();
    ~InstalledTree();
    InstalledTree(const InstalledTree&) = delete;
    InstalledTree& operator=(const InstalledTree&) = delete;

    bool Installed() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& BuildDir() const { return m_buildDir; }
    // <root>/usr: the installed prefix as seen from here.
    std::string Prefix() const;
    // A path below the installed prefix ("bin/zorvan-cli").
    std::string Path(const std::string& relative) const;
    // A scratch folder of the tree's temporary folder (created), not inside the prefix.
    std::string Scratch(const std::string& name) const;
    // The XDG_RUNTIME_DIR the programs get (private, as a session's is).
    std::string RuntimeDir() const;

    // What a program run from the installed tree did, and the loader's report on it.
    struct Run {
        ProcessResult result;
        std::string loaderReport;  // LD_DEBUG=files of the process and its children
    };
    // Runs argv (argv[0] a path) with LD_DEBUG=files and without LD_LIBRARY_PATH, HOME and the
    // XDG folders in the tree's scratch space.
    Run RunWithLoaderReport(const std::vector<std::string>& argv, ProcessOptions options = {});
    // The environment RunWithLoaderReport gives (for programs started another way); `report` is
    // the LD_DEBUG_OUTPUT base name.
    std::vector<std::pair<std::string, std::string>> LoaderEnvironment(const std::string& report);
    // Everything the loader wrote for runs with that base name.
    std::string CollectLoaderReport(const std::string& report) const;

    // The files (resolved) whose initialisation a loader report shows: the libraries loaded.
    static std::vector<std::string> LoadedFiles(const std::string& loaderReport);
    // Whether the report shows the installed file below the prefix ("lib/libOrbo_Common.so.0")
    // loaded.
    bool Loaded(const std::string& loaderReport, const std::string& relative) const;
    // The lines of a loader report (and the resolved files) that name a file of the build or
    // source tree; empty when none does.
    std::vector<std::string> LinesFromOutside(const std::string& loaderReport) const;

private:
    std::unique_ptr<TempDir> m_dir;
    std::string m_buildDir;
    std::string m_error;
    int m_runs = 0;
};
