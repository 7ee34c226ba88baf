// library_double.h - a stand-in for the library's public entry points (zqlib.h) that the
// game's rule tests link instead of the library.
//
// It draws nothing: it records every draw call (graph, position, mirroring, text,
// colour), plays scripted key states and random values, and keeps a clock that moves
// only when read, so the game's rules are tested frame by frame. Colours are packed
// as 0xRRGGBB (see rgb()); a text is measured as 6 px per byte; graph handles count up
// from 1000 in the order they are created.
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

struct DrawCall {
    enum Kind { Graph, GraphPart, Box, Text };
    Kind kind = Graph;
    int x = 0, y = 0;  // destination (box: first corner)
    int graph = 0;
    bool mirrored = false;
    int transparent = 0;
    int sourceX = 0, sourceY = 0, width = 0, height = 0;  // GraphPart
    int x2 = 0, y2 = 0, filled = 0;                        // Box
    int color = 0, edgeColor = 0;                           // Box, Text
    std::string text;                                       // Text, after formatting
};

struct LibraryDouble {
    // Scripted inputs.
    std::set<int> keysDown;                      // scan codes that CheckKeyDown reports down
    std::deque<int> randomValues;                // GetRandomInt hands these out first...
    std::function<int(int n)> randomRule;        // ...then asks this (none: 0)
    unsigned clock = 0;                          // GetTimeMilliseconds returns it, then adds clockStep
    unsigned clockStep = 1;
    int initializeResult = 0;
    int processMessageResult = 0;
    std::function<void(int presented)> onPresent;  // after each PresentScreen, counted from 1
    std::function<void()> onShutdown;

    // Records.
    bool logCalls = false;           // when set, every entry-point call is appended to calls
    std::vector<std::string> calls;  // "Name(arg,arg)" with texts quoted
    std::vector<DrawCall> draws;     // since the last ClearCurrentScreen
    std::vector<int> randomBounds;   // n of every GetRandomInt call
    int presented = 0;
    int shutdowns = 0;
    int nextGraph = 1000;
};

extern LibraryDouble library;

// Back to the state above: no keys, no scripted values, clock 0, nothing recorded.
void resetLibraryDouble();

// The colour value the double's ComposeColorValue gives.
constexpr int rgb(int r, int g, int b) { return r << 16 | g << 8 | b; }

// The text width the double's MeasureTextWidth gives.
int textWidthOf(const std::string& text);
