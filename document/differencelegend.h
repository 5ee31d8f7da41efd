#pragma once
// The legend of a picture in the difference view: what it is compared with, its largest error,
// and the colour scale with the error values it stands for. It lies in the picture's bottom-left
// corner, over the picture, and lets the pointer through to it.

#include <QStringList>
#include <QWidget>

namespace kalmira {

class DifferenceLegend : public QWidget {
    Q_OBJECT

public:
    explicit DifferenceLegend(QWidget& picture);
    // The lines of text and whether the scale bar is drawn under them.
    void SetContent(const QStringList& lines, bool scale);
    const QStringList& Lines() const { return lines_; }
    bool ShowsScale() const { return scale_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QStringList lines_;
    bool scale_ = false;
};

}  // namespace kalmira
