#pragma once
// A label that acts as a link: hand cursor, the theme's link colour, underlined, and a clicked() signal.
#include <QLabel>

namespace gw {

class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace gw
