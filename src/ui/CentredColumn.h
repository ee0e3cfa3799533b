#pragma once
// The column of the progress and failure screens: a 300-point transparent gap
// (the artwork shows through), then the added rows, each centred. The column
// is at least 360 wide and keeps its middle on the middle of its parent, so
// content wider or taller than that grows equally on both sides.

#include <QWidget>

class QVBoxLayout;

class CentredColumn : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGap = 300;
    static constexpr int kMinWidth = 360;

    explicit CentredColumn(QWidget* parent);

    void add(QWidget* row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void place();

    QVBoxLayout* m_layout;
};
