// library_double.cpp - the recording stand-in for the library's public entry points.
#include "library_double.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <type_traits>

#include "zqlib.h"

LibraryDouble library;

void resetLibraryDouble() { library = LibraryDouble(); }

namespace {

constexpr int WidthPerByte = 6;

std::string joinArguments(std::initializer_list<std::string> arguments) {
    std::string joined;
    for (const std::string& argument : arguments) joined += (joined.empty() ? "" : ",") + argument;
    return joined;
}

template <typename... Arguments>
void logCall(const char* name, const Arguments&... arguments) {
    if (!library.logCalls) return;
    [[maybe_unused]] auto toText = [](const auto& value) {
        if constexpr (std::is_convertible_v<decltype(value), const char*>)
            return "\"" + std::string(value) + "\"";
        else
            return std::to_string(value);
    };
    library.calls.push_back(std::string(name) + "(" + joinArguments({toText(arguments)...}) + ")");
}

void drawGraph(int x, int y, int graph, int transparent, bool mirrored) {
    DrawCall call;
    call.kind = DrawCall::Graph;
    call.x = x;
    call.y = y;
    call.graph = graph;
    call.transparent = transparent;
    call.mirrored = mirrored;
    library.draws.push_back(call);
}

void drawText(int x, int y, const std::string& text, int color, int edgeColor) {
    DrawCall call;
    call.kind = DrawCall::Text;
    call.x = x;
    call.y = y;
    call.text = text;
    call.color = color;
    call.edgeColor = edgeColor;
    library.draws.push_back(call);
}

}  // namespace

int textWidthOf(const std::string& text) { return WidthPerByte * static_cast<int>(text.size()); }

int InitializeLibrary(void) {
    logCall("InitializeLibrary");
    return library.initializeResult;
}

int ShutdownLibrary(void) {
    logCall("ShutdownLibrary");
    library.shutdowns++;
    if (library.onShutdown) library.onShutdown();
    return 0;
}

int ProcessMessage(void) {
    logCall("ProcessMessage");
    return library.processMessageResult;
}

int ChangeWindowMode(int windowed) {
    logCall("ChangeWindowMode", windowed);
    return 0;
}

int SetWindowTitleText(const char* text) {
    logCall("SetWindowTitleText", text);
    return 0;
}

int SetWindowIconResource(int iconId) {
    logCall("SetWindowIconResource", iconId);
    return 0;
}

int SetScreenMode(int width, int height, int colorBits, int refreshRate) {
    logCall("SetScreenMode", width, height, colorBits, refreshRate);
    return 0;
}

int WaitWithMessages(int milliseconds) {
    logCall("WaitWithMessages", milliseconds);
    library.clock += static_cast<unsigned>(milliseconds);
    return 0;
}

int GetTimeMilliseconds(int ignored) {
    logCall("GetTimeMilliseconds", ignored);
    unsigned now = library.clock;
    library.clock += library.clockStep;
    return static_cast<int>(now);
}

// The range is 0..n, or n..0 for a negative n, as the library defines it.
int GetRandomInt(int n) {
    logCall("GetRandomInt", n);
    library.randomBounds.push_back(n);
    int value = 0;
    if (!library.randomValues.empty()) {
        value = library.randomValues.front();
        library.randomValues.pop_front();
    } else if (library.randomRule) {
        value = library.randomRule(n);
    }
    const int low = n < 0 ? n : 0, high = n < 0 ? 0 : n;
    if (value < low || value > high) ADD_FAILURE() << "scripted random value " << value << " outside " << low << ".." << high;
    return value;
}

int CheckKeyDown(int scanCode) {
    logCall("CheckKeyDown", scanCode);
    return library.keysDown.count(scanCode) ? 1 : 0;
}

int ComposeColorValue(int r, int g, int b) {
    logCall("ComposeColorValue", r, g, b);
    return rgb(r, g, b);
}

int PresentScreen(void) {
    logCall("PresentScreen");
    library.presented++;
    if (library.onPresent) library.onPresent(library.presented);
    return 0;
}

int SelectDrawTarget(int target) {
    logCall("SelectDrawTarget", target);
    return 0;
}

int SetTransparentColorKey(int r, int g, int b) {
    logCall("SetTransparentColorKey", r, g, b);
    return 0;
}

int LoadImageToGraph(const char* fileName, int not3D) {
    logCall("LoadImageToGraph", fileName, not3D);
    return library.nextGraph++;
}

int LoadImageToDivGraphs(const char* fileName, int count, int across, int down, int cellWidth, int cellHeight,
                         int* handles, int not3D) {
    logCall("LoadImageToDivGraphs", fileName, count, across, down, cellWidth, cellHeight, not3D);
    for (int i = 0; i < count; i++) handles[i] = library.nextGraph++;
    return 0;
}

int DeriveSubGraph(int sourceX, int sourceY, int width, int height, int graph) {
    logCall("DeriveSubGraph", sourceX, sourceY, width, height, graph);
    return library.nextGraph++;
}

int ClearCurrentScreen(void) {
    logCall("ClearCurrentScreen");
    library.draws.clear();
    return 0;
}

int DrawGraphAt(int x, int y, int graph, int transparent) {
    logCall("DrawGraphAt", x, y, graph, transparent);
    drawGraph(x, y, graph, transparent, false);
    return 0;
}

int DrawGraphMirroredAt(int x, int y, int graph, int transparent) {
    logCall("DrawGraphMirroredAt", x, y, graph, transparent);
    drawGraph(x, y, graph, transparent, true);
    return 0;
}

int DrawGraphPartAt(int destX, int destY, int sourceX, int sourceY, int width, int height, int graph,
                    int transparent, int mirror) {
    logCall("DrawGraphPartAt", destX, destY, sourceX, sourceY, width, height, graph, transparent, mirror);
    DrawCall call;
    call.kind = DrawCall::GraphPart;
    call.x = destX;
    call.y = destY;
    call.sourceX = sourceX;
    call.sourceY = sourceY;
    call.width = width;
    call.height = height;
    call.graph = graph;
    call.transparent = transparent;
    call.mirrored = mirror != 0;
    library.draws.push_back(call);
    return 0;
}

int DrawBoxShape(int x1, int y1, int x2, int y2, int color, int filled) {
    logCall("DrawBoxShape", x1, y1, x2, y2, color, filled);
    DrawCall call;
    call.kind = DrawCall::Box;
    call.x = x1;
    call.y = y1;
    call.x2 = x2;
    call.y2 = y2;
    call.color = color;
    call.filled = filled;
    library.draws.push_back(call);
    return 0;
}

int DrawTextAt(int x, int y, const char* text, int color, int edgeColor) {
    logCall("DrawTextAt", x, y, text, color, edgeColor);
    drawText(x, y, text, color, edgeColor);
    return 0;
}

int DrawFormattedTextAt(int x, int y, int color, const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    logCall("DrawFormattedTextAt", x, y, color, static_cast<const char*>(text));
    drawText(x, y, text, color, 0);
    return 0;
}

int MeasureTextWidth(const char* text, int length, int flag) {
    logCall("MeasureTextWidth", text, length, flag);
    EXPECT_EQ(std::string(text).size(), static_cast<size_t>(length)) << "length of \"" << text << "\"";
    return WidthPerByte * length;
}

int SetDefaultFontSize(int size) {
    logCall("SetDefaultFontSize", size);
    return 0;
}

int SetDefaultFontFace(const char* faceName, int charset) {
    logCall("SetDefaultFontFace", faceName, charset);
    return 0;
}

int SetDefaultFontType(int typeFlags) {
    logCall("SetDefaultFontType", typeFlags);
    return 0;
}
