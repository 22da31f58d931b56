#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPointer>

// Lets the arrow keys pick between two choice buttons that manage their checked state
// themselves (so Qt's own arrow handling for exclusive buttons does not apply): left or up
// presses the first, right or down the second, and the focus follows the choice.
class ArrowKeyChoice : public QObject {
    Q_OBJECT

public:
    ArrowKeyChoice(QAbstractButton& first, QAbstractButton& second);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractButton> first_;
    QPointer<QAbstractButton> second_;
};
