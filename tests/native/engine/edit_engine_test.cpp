// The engine's table of open edits and its deletion of temporary files at exit.
#include <gtest/gtest.h>

#include <vector>

#include "config/config_platform.h"
#include "engine/edit_engine.h"
#include "engine/keyboard.h"
#include "native/config/config_test_util.h"
#include "native/engine/fake_system.h"

using namespace quillon;

namespace {

// The recording fake, which keeps the deleted paths, with a temporary folder of its own.
class CDeleteRecorder : public test::CFakeSystem {
public:
    std::u16string GetTempPath() override { return u"C:\\Users\\me\\Temp\\"; }
};

HWND Window(std::uintptr_t id) {
    return reinterpret_cast<HWND>(id);
}

} // namespace

TEST(EditEngine, StartsWithTheDefaultSettings) {
    CDeleteRecorder sys;
    CSettingsStore settings(DefaultConfigPlatform());
    CTextRoutes routes(sys, settings);
    CEditEngine engine(sys, settings, routes);
    EXPECT_EQ(settings.HotKey, hotkey::kDefault);
    EXPECT_EQ(settings.TemporaryFolder, u"C:\\Users\\me\\Temp\\");
    EXPECT_EQ(settings.DeleteTempFile, 1);
    EXPECT_EQ(settings.SaveContent, 1);
    EXPECT_EQ(settings.Insert, 0);
    EXPECT_EQ(settings.EditOnlySelection, 0);
    EXPECT_EQ(settings.Delay, 200);
    ASSERT_EQ(settings.Extensions.size(), 1u);
    EXPECT_EQ(settings.Extensions[0], EXTENSIONREC(u"txt", u"", u"", 1));
}

TEST(EditEngine, DeletesEndedThenOpenFilesAtExitOnlyWhenAsked) {
    CDeleteRecorder sys;
    for (const char16_t* path : {u"a", u"b", u"c", u"d"})
        sys.files[path] = {"text", 1};
    const SaveStamp known = SaveStamp::Of(1, "text");
    auto open = [&](const char16_t* path) {
        OpenEdit edit{Window(1), path, 1};
        edit.last = known;
        return edit;
    };
    {
        CSettingsStore settings(DefaultConfigPlatform());
        CTextRoutes routes(sys, settings);
        CEditEngine engine(sys, settings, routes);
        engine.table.pendingDeletes = {{u"a", known}, {u"b", known}};
        engine.table.edits = {open(u"c"), open(u"d")};
    }
    EXPECT_EQ(sys.deleted, (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));

    CDeleteRecorder keep;
    keep.files[u"a"] = keep.files[u"c"] = {"text", 1};
    {
        CSettingsStore settings(DefaultConfigPlatform());
        CTextRoutes routes(keep, settings);
        CEditEngine engine(keep, settings, routes);
        engine.table.pendingDeletes = {{u"a", known}};
        engine.table.edits = {open(u"c")};
        settings.DeleteTempFile = 0; // switched off in Options before exit
    }
    EXPECT_TRUE(keep.deleted.empty());
}

TEST(EditEngine, LookupByWindowTakesTheNewestEdit) {
    CDeleteRecorder sys;
    CSettingsStore settings(DefaultConfigPlatform());
    CTextRoutes routes(sys, settings);
    CEditEngine engine(sys, settings, routes);
    settings.DeleteTempFile = 0;
    EXPECT_EQ(engine.FindNewestEdit(Window(7)), -1);
    engine.table.edits = {{Window(7), u"old", 1}, {Window(8), u"other", 2}, {Window(7), u"new", 3}};
    EXPECT_EQ(engine.FindNewestEdit(Window(7)), 2);
    EXPECT_EQ(engine.FindNewestEdit(Window(8)), 1);
}

TEST(HotKeyValue, PacksKeyAndModifiers) {
    EXPECT_EQ(keyboard::Pack('A', keyboard::kModWin), 0x4108);
    EXPECT_EQ(keyboard::KeyOf(0x4108), unsigned('A'));
    EXPECT_EQ(keyboard::ModifiersOf(0x4108), keyboard::kModWin);
    EXPECT_EQ(keyboard::Pack(0x151, 0x103), keyboard::Pack(0x51, 0x03)); // both taken modulo 256
}

namespace {

// The real platform, with the program and the user's data folder in a scratch folder.
class CProgramInFolder : public test::CFaultyPlatform {
public:
    explicit CProgramInFolder(const test::CScratchFolder& dir) : m_dir(dir) {}
    std::u16string ModuleFilePath() override {
        ++asked;
        return m_dir.U16("Quillon.exe");
    }
    std::u16string ShellAppDataFolder() override { return m_dir.U16("data"); }
    int asked = 0;

private:
    const test::CScratchFolder& m_dir;
};

} // namespace

TEST(EditEngine, TheConfigurationGoesThroughThePlatformItIsGiven) {
    test::CScratchFolder dir;
    std::filesystem::create_directories(dir.Path("data"));
    CProgramInFolder platform(dir);
    CDeleteRecorder sys;
    {
        CSettingsStore settings(platform);
        CTextRoutes routes(sys, settings);
        CEditEngine engine(sys, settings, routes);
        engine.Load();
        EXPECT_EQ(settings.configFilePath.substr(0, dir.U16("data").size()), dir.U16("data"));
        settings.HotKey = 0x0241;
        settings.Save();
    }
    CSettingsStore againSettings(platform);
    CTextRoutes againRoutes(sys, againSettings);
    CEditEngine again(sys, againSettings, againRoutes);
    test::CFakeHost host;
    again.SetHost(&host);
    again.Load();
    EXPECT_EQ(againSettings.HotKey, 0x0241) << "the value saved beside the program is read back";
    EXPECT_EQ(againSettings.moduleFilePath, dir.U16("Quillon.exe"));
    EXPECT_EQ(platform.asked, 2) << "each load asks the given platform where the program is";
}

namespace {

// A host that logs what happens to the hotkey and refuses one combination, as the system
// does when another program holds it.
class CHotKeyHost : public test::CFakeHost {
public:
    std::uint16_t taken = 0;
    std::vector<std::string> log;
    bool RegisterEditHotKey(std::uint16_t hotKey) override {
        log.push_back("register " + std::to_string(hotKey));
        return hotKey != taken;
    }
    void UnregisterEditHotKey() override { log.push_back("unregister"); }
    bool HotKeyIsFree(std::uint16_t hotKey) override { return hotKey != taken; }
};

} // namespace

TEST(EditEngine, OptionsApplyAsOneStepAndATakenHotKeyChangesNothing) {
    CDeleteRecorder sys;
    test::CFaultyPlatform platform;
    CSettingsStore settings(platform);
    CTextRoutes routes(sys, settings);
    CEditEngine engine(sys, settings, routes);
    CHotKeyHost host;
    engine.SetHost(&host);
    settings.HotKey = 0x4108;
    settings.SuspendHotKey(false); // registered as at load
    settings.Delay = 350;
    const SettingsFields opened = settings;
    // An edit started while the dialog was open saved a row for future use, and a choice
    // remembered for a program.
    settings.Extensions.push_back(EXTENSIONREC(u"md", u"", u"", 1));
    settings.Rules = {RULEREC(u"notepad.exe", u"", u"md", 0)};

    SettingsFields edited = opened;
    edited.HotKey = 0x4503;
    edited.Delay = 0;
    edited.Insert = 1;
    edited.Extensions = {EXTENSIONREC(u"xml", u"C:\\ed.exe", u"\"%1\"", 0)};
    host.taken = 0x4503;
    EXPECT_FALSE(settings.ApplySettings(opened, edited));
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"register 16648", "unregister", "register 17667", "register 16648"}))
        << "the working hotkey is registered again";
    EXPECT_EQ(settings.HotKey, 0x4108);
    EXPECT_EQ(settings.Insert, 0) << "nothing applied";
    // The dialog asks before it applies: the taken one is refused, the working one is ours.
    EXPECT_FALSE(settings.HotKeyIsFree(0x4503));
    host.taken = 0x4108; // as the system sees it: registered, by us
    EXPECT_TRUE(settings.HotKeyIsFree(0x4108));
    EXPECT_EQ(host.changed, 0);

    host.taken = 0;
    host.log.clear();
    EXPECT_TRUE(settings.ApplySettings(opened, edited));
    EXPECT_EQ(host.log, (std::vector<std::string>{"unregister", "register 17667"}));
    EXPECT_EQ(settings.HotKey, 0x4503);
    EXPECT_EQ(settings.Insert, 1);
    EXPECT_EQ(settings.Delay, 350) << "Delay has no control in the dialog";
    ASSERT_EQ(settings.Extensions.size(), 2u);
    EXPECT_EQ(settings.Extensions[1].Extension, u"md") << "the row saved meanwhile is kept";
    EXPECT_EQ(settings.Rules.size(), 1u) << "rules the dialog did not touch stay as they are now";
    EXPECT_EQ(host.changed, 1) << "the choice list is rebuilt";

    // The same hotkey again is left registered as it is; a cleared one is only given back.
    host.log.clear();
    EXPECT_TRUE(settings.ApplySettings(edited, edited));
    EXPECT_TRUE(host.log.empty());
    edited.HotKey = 0;
    EXPECT_TRUE(settings.ApplySettings(edited, edited));
    EXPECT_EQ(host.log, (std::vector<std::string>{"unregister"}));
    // Rules edited in the dialog are the rules from then on.
    SettingsFields ruled = edited;
    ruled.Rules = {RULEREC(u"", u"Mail", u"xml", 1)};
    EXPECT_TRUE(settings.ApplySettings(edited, ruled));
    EXPECT_EQ(settings.Rules, ruled.Rules);
}

TEST(EditEngine, AHotKeyAgainstTheRulesInTheFileIsToldAndNotRegistered) {
    test::CScratchFolder dir;
    std::filesystem::create_directories(dir.Path("data"));
    CProgramInFolder platform(dir);
    CDeleteRecorder sys;
    for (const std::uint16_t hotKey : {std::uint16_t(0x0900), std::uint16_t(0x5602), std::uint16_t(0x7000)}) {
        {
            CSettingsStore settings(platform);
            CTextRoutes routes(sys, settings);
            CEditEngine engine(sys, settings, routes);
            engine.Load();
            settings.HotKey = hotKey; // Tab alone, Ctrl+V, F1 alone
            settings.Save();
        }
        CSettingsStore againSettings(platform);
        CTextRoutes againRoutes(sys, againSettings);
        CEditEngine again(sys, againSettings, againRoutes);
        CHotKeyHost host;
        again.SetHost(&host);
        again.Load();
        againSettings.SuspendHotKey(true); // Options opened and closed
        againSettings.SuspendHotKey(false);
        const bool allowed = hotKey == 0x7000;
        const std::vector<std::string> registered{"register 28672", "unregister", "register 28672"};
        EXPECT_EQ(host.log, allowed ? registered : std::vector<std::string>{}) << hotKey;
        EXPECT_EQ(host.told.size(), allowed ? 0u : 1u) << hotKey;
        EXPECT_EQ(againSettings.HotKey, hotKey) << "the file's value is left for the user to change";
    }
}
