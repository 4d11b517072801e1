#include "support/installed_tree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

constexpr std::chrono::milliseconds kInstallDeadline{120000};

}  // namespace

InstalledTree::InstalledTree() : m_dir(std::make_unique<TempDir>()) {
    const char* binDir = std::getenv("ORBO_TEST_BIN_DIR");
    if (binDir == nullptr || binDir[0] == '\0') {
        m_error = "ORBO_TEST_BIN_DIR is not set";
        return;
    }
    m_buildDir = std::filesystem::path(binDir).parent_path().string();
    ProcessOptions options;
    options.environment = {{"DESTDIR", m_dir->File("root")}};
    options.deadline = kInstallDeadline;
    const ProcessResult install =
        RunProcess({ORBO_CMAKE_COMMAND, "--install", m_buildDir, "--prefix", kPrefix}, options);
    if (!install.started || install.exitCode != 0 || install.timedOut) {
        m_error = "cmake --install failed (" + std::to_string(install.exitCode) +
                  "): " + install.error + install.err;
    }
}

InstalledTree::~InstalledTree() = default;

std::string InstalledTree::Prefix() const {
    return m_dir->File("root") + kPrefix;
}

std::string InstalledTree::Path(const std::string& relative) const {
    return Prefix() + "/" + relative;
}

std::string InstalledTree::Scratch(const std::string& name) const {
    const std::string path = m_dir->File("scratch/" + name);
    std::filesystem::create_directories(path);
    return path;
}

std::vector<std::pair<std::string, std::string>> InstalledTree::LoaderEnvironment(
    const std::string& report) {
    return {
        {"LD_DEBUG", "files"},
        {"LD_DEBUG_OUTPUT", Scratch("loader") + "/" + report},
        {"HOME", Scratch("home")},
        {"XDG_CONFIG_HOME", Scratch("home") + "/.config"},
        {"XDG_DATA_HOME", Scratch("home") + "/.local/share"},
        {"XDG_RUNTIME_DIR", RuntimeDir()},
    };
}

std::string InstalledTree::RuntimeDir() const {
    const std::string path = Scratch("runtime");
    // Private, as a session's runtime folder is (Qt refuses another mode).
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

std::string InstalledTree::CollectLoaderReport(const std::string& report) const {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(Scratch("loader"))) {
        // The loader appends the process id: "<report>.<pid>".
        if (entry.path().filename().string().rfind(report + ".", 0) == 0) {
            text += ReadWholeFile(entry.path());
        }
    }
    return text;
}

InstalledTree::Run InstalledTree::RunWithLoaderReport(const std::vector<std::string>& argv,
                                                      ProcessOptions options) {
    const std::string report = "run" + std::to_string(++m_runs);
    for (auto& variable : LoaderEnvironment(report)) options.environment.push_back(variable);
    options.unset.push_back("LD_LIBRARY_PATH");
    options.unset.push_back("ORBO_HOME");
    Run run;
    run.result = RunProcess(argv, options);
    run.loaderReport = CollectLoaderReport(report);
    return run;
}

std::vector<std::string> InstalledTree::LoadedFiles(const std::string& loaderReport) {
    static constexpr std::string_view kInit = "calling init: ";
    std::vector<std::string> files;
    for (const std::string& line : SplitLines(loaderReport)) {
        const size_t at = line.find(kInit);
        if (at == std::string::npos) continue;
        std::error_code error;
        const auto path = std::filesystem::canonical(line.substr(at + kInit.size()), error);
        files.push_back(error ? line.substr(at + kInit.size()) : path.string());
    }
    return files;
}

bool InstalledTree::Loaded(const std::string& loaderReport, const std::string& relative) const {
    std::error_code error;
    const std::string wanted = std::filesystem::canonical(Path(relative), error).string();
    if (error) return false;
    const std::vector<std::string> files = LoadedFiles(loaderReport);
    return std::find(files.begin(), files.end(), wanted) != files.end();
}

std::vector<std::string> InstalledTree::LinesFromOutside(const std::string& loaderReport) const {
    auto outside = [&](const std::string& text) {
        return text.find(m_buildDir) != std::string::npos ||
               text.find(ORBO_SOURCE_DIR) != std::string::npos;
    };
    std::vector<std::string> found;
    for (const std::string& line : SplitLines(loaderReport)) {
        if (outside(line)) found.push_back(line);
    }
    // A path such as <prefix>/bin/../lib/x names its file only once resolved.
    for (const std::string& file : LoadedFiles(loaderReport)) {
        if (outside(file)) found.push_back(file);
    }
    return found;
}
