#pragma once
// The toolbar's editable zoom box. It repairs what the user types instead of failing: a
// non-number becomes "100%", anything above 32000 "32000%", and a typed number gets its
// percent sign back. Only Enter and Tab commit typed text; a list choice commits at once.

#include <QObject>
#include <QString>

class QComboBox;

namespace kalmira {

inline constexpr double kMaximumZoom = 32000.0;

// The numeric value of a zoom text by its leading number ("120%" -> 120, "abc" -> 0).
double ZoomValue(const QString& text);

// The repaired text, or the text unchanged when it needs no repair. `typed` is true for text
// typed into the box (it is rewritten as number + "%"), false for a list choice.
QString RepairZoomText(const QString& text, bool typed);

class ZoomBox : public QObject {
    Q_OBJECT

public:
    explicit ZoomBox(QComboBox* combo);

    // Repairs the box's text and announces the zoom; what Enter/Tab and a list choice do.
    void Commit(bool typed);

signals:
    // The zoom the user chose, in percent, after repair.
    void zoomChosen(double percent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* combo_;
};

}  // namespace kalmira
