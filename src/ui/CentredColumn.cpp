#include "ui/CentredColumn.h"

#include <QEvent>
#include <QVBoxLayout>

CentredColumn::CentredColumn(QWidget* parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(8);
    m_layout->addSpacing(kGap);
    parent->installEventFilter(this);
    place();
}

void CentredColumn::add(QWidget* row) {
    m_layout->addWidget(row, 0, Qt::AlignHCenter);
    place();
}

bool CentredColumn::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        place();
    return QWidget::eventFilter(watched, event);
}

bool CentredColumn::event(QEvent* event) {
    // A row whose text changed asks for a new size: re-centre.
    if (event->type() == QEvent::LayoutRequest)
        place();
    return QWidget::event(event);
}

void CentredColumn::place() {
    const QWidget* parent = parentWidget();
    if (!parent)
        return;
    const QSize hint = m_layout->sizeHint();
    const int width =
        std::min(std::max(kMinWidth, hint.width()), std::max(kMinWidth, parent->width()));
    const int height = hint.height();
    setGeometry((parent->width() - width) / 2, (parent->height() - height) / 2, width, height);
}
