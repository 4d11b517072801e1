// ctest-labels: unit
// The desktop program exports its bitmap helpers by name, and no other function of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "support/process_runner.h"

namespace {

const char* const kExportedHelpers[] = {
    "Gdiplus_BitmapLastError",
    "Gdiplus_BitmapOK",
    "Gdiplus_CalcFontSize",
    "Gdiplus_CopyBitmap",
    "Gdiplus_CreateBitmap",
    "Gdiplus_CreateColorBmp",
    "Gdiplus_CreateRgnFromBitmap",
    "Gdiplus_DeleteBitmap",
    "Gdiplus_DisposeBitmapByMode",
    "Gdiplus_DrawAlphaBitmap",
    "Gdiplus_DrawBitmap",
    "Gdiplus_DrawRect",
    "Gdiplus_DrawText",
    "Gdiplus_FillPolygon",
    "Gdiplus_FillRect",
    "Gdiplus_FillRect2",
    "Gdiplus_GetBitmapBuffer",
    "Gdiplus_GetBitmapFromBitmap",
    "Gdiplus_GetBitmapFromBitmapByRect",
    "Gdiplus_GetHBitmap",
    "Gdiplus_GetPictureTypeByFileNameA",
    "Gdiplus_GetPictureTypeByFileNameW",
    "Gdiplus_GetStringFormat",
    "Gdiplus_Gray",
    "Gdiplus_LoadBitmapFromData",
    "Gdiplus_LoadBitmapFromFileA",
    "Gdiplus_LoadBitmapFromFileW",
    "Gdiplus_LoadBitmapFromImageBits",
    "Gdiplus_ModifyBitmapFormat",
    "Gdiplus_ResizeBitmap",
    "Gdiplus_SaveBitmapToFileA",
    "Gdiplus_SaveBitmapToFileW",
    "Gdiplus_SetBitmapAlpha",
    "Gdiplus_StretchBitmap",
};

// The program's exported functions: defined dynamic symbols in the text section.
std::set<std::string> ExportedFunctions(const std::string& program) {
    const ProcessResult result = RunProcess({"nm", "-D", "--defined-only", program});
    EXPECT_TRUE(result.started) << result.error;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::set<std::string> names;
    for (const std::string& line : SplitLines(result.out)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name && type == "T") names.insert(name);
    }
    return names;
}

TEST(ProgramExports, ExactlyTheBitmapHelpers) {
    const char* binDir = std::getenv("ORBO_TEST_BIN_DIR");
    ASSERT_NE(binDir, nullptr);
    std::set<std::string> exported = ExportedFunctions(std::string(binDir) + "/Orbo_Zorvan_Tool");
    // A sanitizer's run-time library exports its own entry points from the program.
    std::erase_if(exported, [](const std::string& name) { return name.rfind("__", 0) == 0; });
    const std::set<std::string> expected(std::begin(kExportedHelpers), std::end(kExportedHelpers));
    EXPECT_EQ(exported, expected);
}

}  // namespace
