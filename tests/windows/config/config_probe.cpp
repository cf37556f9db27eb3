// A stand-in program for the configuration tests: loads the configuration as Quillon does
// at start-up, reports what it found, and saves it (normally, or crashing half-way).
//   config_probe.exe load|load-save|crash-save REPORT
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/u16.h"
#include "config/config_file.h"
#include "config/config_platform.h"
#include "engine/edit_engine.h"
#include "native/config/forwarding_platform.h"

using namespace quillon;

namespace {

class CRecordingHost : public IEngineHost {
public:
    int registrations = 0;
    std::uint16_t lastHotKey = 0;
    bool RegisterEditHotKey(std::uint16_t hotKey) override {
        ++registrations;
        lastHotKey = hotKey;
        return true;
    }
    bool ChooseNewExtension(EXTENSIONREC&, bool&) override { return false; }
    void ExtensionsChanged() override {}
    void UnregisterEditHotKey() override {}
    bool HotKeyIsFree(std::uint16_t) override { return true; }
    void* HostWindow() override { return nullptr; }
    void TellUser(const std::u16string&) override {}
    void StartEditor(const EditorStart&) override {}
};

// The real platform, except that the process dies while the new file is only half there.
class CCrashingPlatform : public test::CForwardingPlatform {
public:
    bool FlushFile(const std::u16string& path) override {
        HANDLE file = ::CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER size{};
        ::GetFileSizeEx(file, &size);
        size.QuadPart /= 2;
        ::SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file);
        ::CloseHandle(file);
        ::TerminateProcess(::GetCurrentProcess(), 3);
        return false;
    }
};

void Line(std::string& out, const char* key, const std::u16string& value) {
    out += std::string(key) + "=" + ToUtf8(value) + "\n";
}
void Line(std::string& out, const char* key, long long value) {
    out += std::string(key) + "=" + std::to_string(value) + "\n";
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    const std::wstring mode = argv[1];
    CRecordingHost host;
    CSettingsStore settings(DefaultConfigPlatform());
    CTextRoutes routes(DefaultSystem(), settings);
    CEditEngine engine(DefaultSystem(), settings, routes);
    engine.SetHost(&host);
    engine.Load();

    std::string report;
    Line(report, "module", settings.moduleFilePath);
    Line(report, "folder", settings.moduleFolder);
    Line(report, "config", settings.configFilePath);
    Line(report, "registrations", host.registrations);
    Line(report, "registered", host.lastHotKey);
    Line(report, "HotKey", settings.HotKey);
    Line(report, "Delay", settings.Delay);
    Line(report, "TemporaryFolder", settings.TemporaryFolder);
    Line(report, "rows", static_cast<long long>(settings.Extensions.size()));
    const auto writeReport = [&] {
        if (FILE* file = _wfopen(argv[2], L"wb")) {
            fwrite(report.data(), 1, report.size(), file);
            fclose(file);
        }
    };
    writeReport();

    if (mode == L"load-save" || mode == L"load-rewrite") {
        // "load-rewrite" saves as after a change of settings: whatever the file holds is written.
        if (mode == L"load-rewrite")
            settings.configXml.ForgetSynced();
        const ConfigSaveResult saved = settings.Save();
        Line(report, "saved", static_cast<long long>(saved.status));
        Line(report, "failure", saved.Saved() ? std::u16string() : DescribeSaveFailure(saved));
        writeReport();
    } else if (mode == L"crash-save") {
        settings.Delay = 4242;
        CCrashingPlatform crashing;
        SaveConfigFile(settings.configXml, settings.configFilePath, settings, crashing);
        return 4; // not reached: the save dies half-way
    }
    return 0;
}
