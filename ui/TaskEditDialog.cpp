#include "ui/TaskEditDialog.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "ui/UiTexts.h"

namespace ravelong {

namespace {

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

QColor qcolor(const TaskColor& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue));
}

}  // namespace

int TaskEditDialog::roundingCode(int choice, int minutes) {
    if (choice <= 0)
        return -1;
    if (choice == 1)
        return 0;
    return (choice - 1) * 100 + std::clamp(minutes, 1, 99);
}

std::pair<int, int> TaskEditDialog::choiceOfRoundingCode(int code) {
    if (code < 0)
        return {0, 15};
    const int type = code / 100;
    const int minutes = code % 100;
    // Codes that round nothing (0, or type 0 with minutes) read as "none".
    if (type < 1 || type > 3 || minutes < 1)
        return {1, 15};
    return {type + 1, minutes};
}

TaskEditDialog::TaskEditDialog(const MenuBarTaskEditor::TaskValues& values, QWidget* parent)
    : QDialog(parent),
      values_(values),
      name_(new QLineEdit(QString::fromStdString(values.name), this)),
      color_(new QPushButton(this)),
      description_(new QPlainTextEdit(QString::fromStdString(values.description), this)),
      rounding_(new QComboBox(this)),
      minutes_(new QSpinBox(this)) {
    setObjectName(QStringLiteral("taskEditDialog"));
    setWindowTitle(text(ui_texts::kEditTaskTitle));
    color_->setObjectName(QStringLiteral("taskColorButton"));
    connect(color_, &QPushButton::clicked, this, &TaskEditDialog::chooseColor);
    showColor();
    description_->setTabChangesFocus(true);
    description_->setFixedHeight(72);

    for (std::string_view choice : ui_texts::kRoundingChoices)
        rounding_->addItem(text(choice));
    minutes_->setRange(1, 99);
    minutes_->setSuffix(text(ui_texts::kRoundingMinutesSuffix));
    const auto [choice, minutes] = choiceOfRoundingCode(values.rounding);
    rounding_->setCurrentIndex(choice);
    minutes_->setValue(minutes);
    minutes_->setEnabled(choice >= 2);
    connect(rounding_, &QComboBox::currentIndexChanged, this,
            [this](int index) { minutes_->setEnabled(index >= 2); });

    auto* form = new QFormLayout(this);
    form->addRow(text(ui_texts::kTaskNameLabel), name_);
    form->addRow(text(ui_texts::kTaskColorLabel), color_);
    form->addRow(text(ui_texts::kTaskDescriptionLabel), description_);
    form->addRow(text(ui_texts::kTaskRoundingLabel), rounding_);
    form->addRow(QString(), minutes_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(name_, &QLineEdit::textChanged, this,
            [this](const QString& name) { ok_->setEnabled(!name.trimmed().isEmpty()); });
    ok_->setEnabled(!name_->text().trimmed().isEmpty());
    form->addRow(buttons);
}

void TaskEditDialog::showColor() {
    color_->setText(qcolor(values_.color).name(QColor::HexRgb));
    color_->setStyleSheet(QStringLiteral("background-color: %1; color: %2;")
                              .arg(qcolor(values_.color).name(),
                                   qcolor(values_.color).lightnessF() > 0.5 ? "black" : "white"));
}

void TaskEditDialog::chooseColor() {
    const QColor chosen = QColorDialog::getColor(qcolor(values_.color), this);
    if (!chosen.isValid())
        return;  // cancelled
    values_.color = TaskColor{chosen.redF(), chosen.greenF(), chosen.blueF(), 1.0};
    showColor();
}

MenuBarTaskEditor::TaskValues TaskEditDialog::values() const {
    MenuBarTaskEditor::TaskValues result = values_;
    result.name = name_->text().trimmed().toStdString();
    result.description = description_->toPlainText().toStdString();
    result.rounding =
        static_cast<std::int16_t>(roundingCode(rounding_->currentIndex(), minutes_->value()));
    // An unchanged rule keeps its stored code (a type-0 override stays as it was).
    const auto [choice, minutes] = choiceOfRoundingCode(values_.rounding);
    if (rounding_->currentIndex() == choice && (choice < 2 || minutes_->value() == minutes))
        result.rounding = values_.rounding;
    return result;
}

}  // namespace ravelong
