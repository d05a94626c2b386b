#include "mainlayout.h"

namespace {
float times(double factor, float value)
{
    return float(factor * double(value));
}
} // namespace

MainLayout MainLayout::compute(float W, float H, float command2Height, const ReadBack &placed)
{
    const auto back = [&placed](float value) { return placed ? placed(value) : value; };
    const double buttonHeight = command2Height;

    MainLayout l{};
    l.label1Top = times(0.12, H);
    l.label1Left = times(0.01, W);
    l.text1Top = times(0.1, H);
    l.text1Left = times(0.15, W);
    l.text1Width = times(0.3, W);
    l.label2Top = times(0.22, H);
    l.label2Left = times(0.01, W);
    l.text2Top = times(0.2, H);
    l.text2Left = times(0.15, W);
    l.text2Width = times(0.63, W);
    l.command1Top = times(0.2, H);
    l.command1Left = times(0.79, W);
    l.text3Top = times(0.3, H);
    l.text3Left = 0;
    l.text3Width = times(0.7, W);
    l.text3Height = times(0.6, H);
    l.text4Top = times(0.3, H);
    l.text4Left = times(0.7, W);
    l.text4Width = times(0.3, W);

    // Derived rows read what the controls actually took.
    const double text3Top = back(l.text3Top);
    const double text3Height = back(l.text3Height);
    l.text4Height = float(text3Height - 2.0 * buttonHeight);
    l.command2Top = float(text3Height + text3Top - 2.0 * buttonHeight);
    l.command2Left = times(0.71, W);
    l.command2Width = times(0.95, back(l.text4Width));
    l.command3Top = float(text3Height + text3Top - buttonHeight);
    l.command3Left = times(0.71, W);
    l.command3Width = times(0.95, back(l.text4Width));
    return l;
}
