#pragma once

#include <QMainWindow>
#include <QObject>
#include <functional>
#include <memory>

#include "ui/ArrowKeyChoice.h"
#include "ui/LayoutConstraint.h"
#include "ui_MainWindow.h"

// Builds the main window from its description and gives it its behaviour: centred on the screen,
// fixed in size. Whoever runs the application decides what closing the window means.
class WindowController : public QObject {
    Q_OBJECT

public:
    WindowController();
    ~WindowController() override;

    QMainWindow& window() { return *window_; }
    Ui::MainWindow& outlets() { return outlets_; }
    LayoutConstraint& deviceImageLeading() { return *deviceImageLeading_; }

    void windowDidLoad();

    // While a download runs the controls show that they will not act; `held` false releases them.
    void holdControls(bool held);
    // Lays out and paints what was just shown now, not whenever the event loop gets round to it:
    // a wait that follows must not leave the previous screen on display.
    void paintNow();

    // Called when the user closes the window (after it has been hidden).
    void setWindowDidClose(std::function<void()> handler) { windowDidClose_ = std::move(handler); }
    // Asked first when the user closes the window; false keeps it open.
    void setWindowShouldClose(std::function<bool()> handler) {
        windowShouldClose_ = std::move(handler);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<QMainWindow> window_;
    Ui::MainWindow outlets_;
    std::unique_ptr<LayoutConstraint> deviceImageLeading_;
    std::unique_ptr<ArrowKeyChoice> modeKeys_;
    std::function<void()> windowDidClose_;
    std::function<bool()> windowShouldClose_;
};
