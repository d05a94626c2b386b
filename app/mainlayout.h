#pragma once

#include <functional>

// Where the main window's controls go for a client area of W x H twips.
// Each product is taken in double precision and stored as float; the
// derived rows use the values read back from the controls already placed,
// which `placed` models (identity where nothing snaps to pixels).
struct MainLayout
{
    float label1Top, label1Left;
    float text1Top, text1Left, text1Width;
    float label2Top, label2Left;
    float text2Top, text2Left, text2Width;
    float command1Top, command1Left;
    float text3Top, text3Left, text3Width, text3Height;
    float text4Top, text4Left, text4Width, text4Height;
    float command2Top, command2Left, command2Width;
    float command3Top, command3Left, command3Width;

    using ReadBack = std::function<float(float)>;
    static MainLayout compute(float width, float height, float command2Height,
                              const ReadBack &placed = {});
};
