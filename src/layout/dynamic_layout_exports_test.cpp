#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string DynamicSymbols(const char* executable) {
    std::string out;
    FILE* nm = popen((std::string("nm -DC --defined-only ") + executable).c_str(), "r");
    if (!nm) return out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, nm)) out.append(buffer, n);
    pclose(nm);
    return out;
}

TEST(LayoutExports, TheExecutableExportsAll21FacadeMethodsByName) {
    const std::string symbols = DynamicSymbols(CORVALA_EXE);
    const char* const methods[] = {
        "CDynamicLayout()", "~CDynamicLayout()", "InitLayout(", "AddPanel(",
        "AddControl(DynamicLayout::LayoutControlWindow*", "AddControl(unsigned int",
        "UpdateLayout()", "ShowLayout(", "ShowPanel(", "SetBkColor(", "SetSplit(",
        "IsPanelExist(", "SetDialogMinSize(", "SetDialogMaxSize(", "FilterDynamicLayoutMessage(",
        "GetPanel(", "OnLButtonDown(", "OnLButtonUp(", "OnMouseMove(", "OnPaint()",
        "WhenEndSplit(",
    };
    static_assert(std::size(methods) == 21);
    for (const char* method : methods) {
        EXPECT_NE(symbols.find(std::string("DynamicLayout::CDynamicLayout::") + method),
                  std::string::npos)
            << method;
    }
}

}  // namespace
