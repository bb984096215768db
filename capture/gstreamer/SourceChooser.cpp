#include "capture/gstreamer/SourceChooser.h"

#include "gst/GstRefs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSlider>

#include <gst/video/colorbalance.h>

namespace {

bool isPictureControl(const QString &label)
{
    const QString name = label.toLower();
    for (const char *wanted : {"brightness", "contrast", "saturation", "hue"}) {
        if (name.contains(QLatin1String(wanted)))
            return true;
    }
    return false;
}

QString currentPattern(GstElement *source)
{
    gint value = 0;
    g_object_get(source, "pattern", &value, nullptr);
    GParamSpec *property = g_object_class_find_property(G_OBJECT_GET_CLASS(source), "pattern");
    GEnumValue *entry = g_enum_get_value(G_PARAM_SPEC_ENUM(property)->enum_class, value);
    return entry ? QString::fromUtf8(entry->value_nick) : QString();
}

} // namespace

SourceChooser::SourceChooser(QWidget *owner, GstElement *source)
    : QDialog(owner), source_(GST_ELEMENT(gst_object_ref(source)))
{
    setWindowTitle(QStringLiteral("Video Source"));
    auto *layout = new QFormLayout(this);
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(source), "pattern"))
        addPatternChoice();
    else
        addPictureControls();
    if (layout->rowCount() == 0)
        layout->addRow(new QLabel(QStringLiteral("This source has no picture controls."), this));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, &SourceChooser::undoChanges);
    layout->addRow(buttons);
}

QString SourceChooser::chosenPattern() const { return pattern_; }

void SourceChooser::addPatternChoice()
{
    GstElement *source = source_.get();
    pattern_ = currentPattern(source);
    auto *choice = new QComboBox(this);
    choice->setObjectName(QStringLiteral("PatternList"));
    GParamSpec *property = g_object_class_find_property(G_OBJECT_GET_CLASS(source), "pattern");
    GEnumClass *patterns = G_PARAM_SPEC_ENUM(property)->enum_class;
    for (guint i = 0; i < patterns->n_values; ++i)
        choice->addItem(QString::fromUtf8(patterns->values[i].value_name),
                        QString::fromUtf8(patterns->values[i].value_nick));
    choice->setCurrentIndex(choice->findData(pattern_));

    const QString before = pattern_;
    undo_.append([this, source, before] {
        gst_util_set_object_arg(G_OBJECT(source), "pattern", before.toUtf8().constData());
        pattern_ = before;
    });
    connect(choice, &QComboBox::currentIndexChanged, this, [this, source, choice](int index) {
        const QString nick = choice->itemData(index).toString();
        gst_util_set_object_arg(G_OBJECT(source), "pattern", nick.toUtf8().constData());
        pattern_ = nick;
    });
    static_cast<QFormLayout *>(layout())->addRow(QStringLiteral("Picture:"), choice);
}

void SourceChooser::addPictureControls()
{
    GstElement *source = source_.get();
    if (!GST_IS_COLOR_BALANCE(source))
        return;
    GstColorBalance *balance = GST_COLOR_BALANCE(source);
    for (const GList *each = gst_color_balance_list_channels(balance); each; each = each->next) {
        GstColorBalanceChannel *channel = GST_COLOR_BALANCE_CHANNEL(each->data);
        const QString label = QString::fromUtf8(channel->label);
        if (!isPictureControl(label))
            continue;
        auto *slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(channel->min_value, channel->max_value);
        const int before = gst_color_balance_get_value(balance, channel);
        slider->setValue(before);
        undo_.append([balance, channel, before] { gst_color_balance_set_value(balance, channel, before); });
        connect(slider, &QSlider::valueChanged, this,
                [balance, channel](int value) { gst_color_balance_set_value(balance, channel, value); });
        static_cast<QFormLayout *>(layout())->addRow(label + QLatin1Char(':'), slider);
    }
}

void SourceChooser::undoChanges()
{
    for (const auto &undo : undo_)
        undo();
}
