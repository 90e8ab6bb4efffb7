#include "ui/IdlePanelWindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "ui/IdleUiTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

constexpr int kIndentSpaces = 4;  // per level of the task tree

}  // namespace

IdlePanelWindow::IdlePanelWindow(ApplicationDelegate& delegate, UserDefaults& defaults,
                                 MainLoop& loop, Clock& clock, PanelAnchor anchor, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      anchor_(std::move(anchor)),
      idleSince_(new QLabel(this)),
      putAway_(new QComboBox(this)),
      putAwayModel_(new QStandardItemModel(this)),
      resolve_(new QPushButton(qt(idle_ui_texts::kIdleResolveButton), this)),
      close_(new QPushButton(qt(idle_ui_texts::kIdleCloseButton), this)) {
    setObjectName(QStringLiteral("idlePanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    controller_ = std::make_unique<IdlePanelController>(delegate, defaults, loop, clock, *this);
    putAway_->setModel(putAwayModel_);
    idleSince_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(idleSince_);
    auto* group = new QButtonGroup(this);
    const std::array<IdleResolution, 4> order{IdleResolution::keep, IdleResolution::stopAndStart,
                                              IdleResolution::stop, IdleResolution::putAway};
    for (IdleResolution option : order) {
        auto* button = new QRadioButton(this);
        options_[static_cast<std::size_t>(option)] = button;
        group->addButton(button, static_cast<int>(option));
        layout->addWidget(button);
        connect(button, &QRadioButton::clicked, this, [this, option] {
            if (!filling_)
                controller_->optionSelected(option);
        });
    }
    optionButton(IdleResolution::keep)->setText(qt(idle_ui_texts::kIdleContinueOption));
    optionButton(IdleResolution::putAway)->setText(qt(idle_ui_texts::kIdlePutAwayOption));
    layout->addWidget(putAway_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);
    buttons->addWidget(resolve_);
    layout->addLayout(buttons);
    resolve_->setDefault(true);

    connect(putAway_, &QComboBox::activated, this, [this](int index) {
        if (!filling_ && index >= 0)
            controller_->popupButtonSelected(static_cast<std::size_t>(index));
    });
    connect(resolve_, &QPushButton::clicked, this, [this] { controller_->resolveButtonClicked(); });
    connect(close_, &QPushButton::clicked, this, [this] { controller_->closeIdleTimePanel(); });
}

IdlePanelWindow::~IdlePanelWindow() = default;

void IdlePanelWindow::openPanel() {
    if (closeOthers_)
        closeOthers_();
    showBelowAnchor(*this, anchor_, false);
}

void IdlePanelWindow::closePanel() {
    hide();
}

void IdlePanelWindow::showTexts(const IdlePanelTexts& texts) {
    idleSince_->setText(qt(texts.idleSince));
    optionButton(IdleResolution::stop)->setText(qt(texts.stopOption));
    optionButton(IdleResolution::stopAndStart)->setText(qt(texts.stopStartOption));
    // The panel opens before its texts are in, and they widen it: placed again, it stays under
    // the tray item and on the screen.
    if (isVisible())
        showBelowAnchor(*this, anchor_, false);
}

void IdlePanelWindow::showOption(IdleResolution option, bool resolveEnabled) {
    filling_ = true;
    optionButton(option)->setChecked(true);
    filling_ = false;
    resolve_->setEnabled(resolveEnabled);
}

void IdlePanelWindow::showPutAwayMenu(const std::vector<PutAwayItem>& items,
                                      std::optional<std::size_t> selected) {
    filling_ = true;
    putAwayModel_->clear();
    for (const PutAwayItem& item : items) {
        auto* row = new QStandardItem(qt(item.title));
        row->setEnabled(item.enabled);
        if (item.kind == PutAwayItem::Kind::separator) {
            row->setText(QString());
            row->setData(QStringLiteral("separator"), Qt::AccessibleDescriptionRole);
        }
        if (item.indentation > 0)
            row->setText(QString(item.indentation * kIndentSpaces, QLatin1Char(' ')) +
                         qt(item.title));
        putAwayModel_->appendRow(row);
    }
    putAway_->setCurrentIndex(selected ? static_cast<int>(*selected) : 0);
    filling_ = false;
}

void IdlePanelWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        controller_->closeIdleTimePanel();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        resolve_->isEnabled()) {
        controller_->resolveButtonClicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace ravelong
