#pragma once

#include "gst/GstRefs.h"

#include <QDialog>

#include <functional>

#include <gst/gst.h>

// The "Video Source" chooser for a running source: the picture of the
// built-in test pattern, or a camera's brightness, contrast, saturation and
// hue where it has them. Changes show at once; Cancel puts them back.
class SourceChooser : public QDialog {
    Q_OBJECT

public:
    SourceChooser(QWidget *owner, GstElement *source);

    // The pattern chosen for the test pattern (empty for a camera).
    QString chosenPattern() const;

private:
    void addPatternChoice();
    void addPictureControls();
    void undoChanges();

    // Held for the dialog's life: the nested loop may replace the pipeline meanwhile.
    gstref::Element source_;
    QString pattern_;
    QList<std::function<void()>> undo_;
};
