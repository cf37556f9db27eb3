// The engine's table of open edits and its deletion of temporary files at exit.
#include <gtest/gtest.h>

#include <vector>

#include "config/config_platform.h"
#include "engine/edit_engine.h"
#include "native/engine_road/fake_system.h"

using namespace quillon;

namespace {

// The recording fake, which keeps the deleted paths, with a temporary folder of its own.
class CDeleteRecorder : public test::CFakeSystem {
public:
    std::u16string GetTempPath() override { return u"C:\\Users\\me\\Temp\\"; }
};

HWND Window(std::uintptr_t id) { return reinterpret_cast<HWND>(id); }

}  // namespace

TEST(EditEngine, StartsWithTheDefaultSettings) {
    CDeleteRecorder sys;
    CEditEngine engine(sys, DefaultConfigPlatform());
    EXPECT_EQ(engine.HotKey, 0x4108);
    EXPECT_EQ(engine.TemporaryFolder, u"C:\\Users\\me\\Temp\\");
    EXPECT_EQ(engine.DeleteTempFile, 1);
    EXPECT_EQ(engine.SaveContent, 1);
    EXPECT_EQ(engine.Insert, 0);
    EXPECT_EQ(engine.EditOnlySelection, 0);
    EXPECT_EQ(engine.Delay, 200);
    ASSERT_EQ(engine.Extensions.size(), 1u);
    EXPECT_EQ(engine.Extensions[0], EXTENSIONREC(u"txt", u"", u"", 1));
}

TEST(EditEngine, DeletesEndedThenOpenFilesAtExitOnlyWhenAsked) {
    CDeleteRecorder sys;
    {
        CEditEngine engine(sys, DefaultConfigPlatform());
        engine.pendingDeletes = {u"a", u"b"};
        engine.openEdits = {{Window(1), u"c", 0}, {Window(1), u"d", 0}};
    }
    EXPECT_EQ(sys.deleted, (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));

    CDeleteRecorder keep;
    {
        CEditEngine engine(keep, DefaultConfigPlatform());
        engine.pendingDeletes = {u"a"};
        engine.openEdits = {{Window(1), u"c", 0}};
        engine.DeleteTempFile = 0;  // switched off in Options before exit
    }
    EXPECT_TRUE(keep.deleted.empty());
}

TEST(EditEngine, LookupByWindowTakesTheNewestEdit) {
    CDeleteRecorder sys;
    CEditEngine engine(sys, DefaultConfigPlatform());
    engine.DeleteTempFile = 0;
    EXPECT_EQ(engine.FindNewestEdit(Window(7)), -1);
    engine.openEdits = {{Window(7), u"old", 1}, {Window(8), u"other", 2}, {Window(7), u"new", 3}};
    EXPECT_EQ(engine.FindNewestEdit(Window(7)), 2);
    EXPECT_EQ(engine.FindNewestEdit(Window(8)), 1);
}

TEST(HotKeyValue, PacksKeyAndModifiers) {
    EXPECT_EQ(hotkey::Make('A', hotkey::kModWin), 0x4108);
    EXPECT_EQ(hotkey::KeyOf(0x4108), unsigned('A'));
    EXPECT_EQ(hotkey::ModifiersOf(0x4108), hotkey::kModWin);
    EXPECT_EQ(hotkey::Make(0x151, 0x103), hotkey::Make(0x51, 0x03));  // both taken modulo 256
}
