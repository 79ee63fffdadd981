#include "start_window.h"

#include "common/program_state.h"
#include "data/data_module.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"
#include "ui/workstation_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

namespace {

QToolButton* pictureButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& hint, const char* name)
{
    QToolButton* b = ui::hintButton(parent, icon, hint, name);
    b->setIconSize(QSize(24, 24));
    return b;
}

void call(const std::function<void()>& f)
{
    if (f)
        f();
}

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent)
{
    programSwitches().CardFollowsList = true;
    programSwitches().FirstOtdScroll = true;

    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Старт"));
    resize(615, kHeightWithoutErrors);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* top = new QHBoxLayout;
    outer->addLayout(top);

    // Left part: the choice and the buttons.
    auto* left = new QVBoxLayout;
    top->addLayout(left);
    auto* choose = new QLabel(QStringLiteral("Выберите отделение!"), this);
    QFont f = choose->font();
    f.setBold(true);
    choose->setFont(f);
    left->addWidget(choose);
    patientButton_ = new QPushButton(QStringLiteral("Пациент"), this);
    templatesButton_ = new QPushButton(QStringLiteral("Шаблоны"), this);
    settingsButton_ = new QPushButton(QStringLiteral("Настройки"), this);
    for (QPushButton* b : {patientButton_, templatesButton_, settingsButton_})
        left->addWidget(b);
    auto* pictures = new QHBoxLayout;
    restoreButton_ = pictureButton(this, QStyle::SP_DialogOpenButton, QStringLiteral("Загрузить базу из архива"), "restoreButton");
    archiveButton_ = pictureButton(this, QStyle::SP_DialogSaveButton, QStringLiteral("Создать архив базы данных"), "archiveButton");
    exportButton_ = pictureButton(this, QStyle::SP_DirOpenIcon, QStringLiteral("Выгрузить документы в папку"), "exportButton");
    errorListButton_ = pictureButton(this, QStyle::SP_MessageBoxWarning, QString::fromUtf8(ui::kErrorReportHint), "errorListButton");
    for (QToolButton* b : {restoreButton_, archiveButton_, exportButton_, errorListButton_})
        pictures->addWidget(b);
    documentSlot_ = new QFrame(this);
    documentSlot_->setObjectName(QStringLiteral("documentViewSlot"));
    documentSlot_->setFixedSize(41, 33);
    documentSlot_->setFrameShape(QFrame::NoFrame);
    pictures->addWidget(documentSlot_);
    pictures->addStretch();
    left->addLayout(pictures);
    left->addStretch();

    // Right part: the departments.
    grid_ = new ui::DBGrid(this);
    grid_->setObjectName(QStringLiteral("departmentGrid"));
    top->addWidget(grid_, 1);

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(12);
    progress_->setValue(0);
    outer->addWidget(progress_);

    // Bottom part: the error list, hidden at start.
    errorArea_ = new QWidget(this);
    errorArea_->setObjectName(QStringLiteral("errorListArea"));
    errorArea_->setMinimumHeight(kHeightWithErrors - kHeightWithoutErrors - 12);
    errorArea_->hide();
    outer->addWidget(errorArea_);

    using ui::guarded;
    connect(patientButton_, &QPushButton::clicked, this, guarded([this] { call(openPatientWindow); }));
    connect(templatesButton_, &QPushButton::clicked, this, guarded([this] { call(openTemplateDesigner); }));
    connect(settingsButton_, &QPushButton::clicked, this, guarded([this] { call(openSettings); }));
    connect(errorListButton_, &QToolButton::clicked, this, &TForm1::toggleErrorList);
    const auto service = [this](QToolButton* b, std::function<void()> TForm1::*hook) {
        connect(b, &QToolButton::clicked, this, guarded([this, b, hook] {
            if (this->*hook)
                (this->*hook)();
            else
                dialogs().notice(QStringLiteral("Функция «%1» пока не реализована в этой версии.").arg(b->toolTip()));
        }));
    };
    service(restoreButton_, &TForm1::restoreDatabase);
    service(archiveButton_, &TForm1::archiveDatabase);
    service(exportButton_, &TForm1::exportDocuments);
    connect(grid_, &ui::DBGrid::cellClicked, this, guarded([this](int, int) { call(departmentClicked); }));
}

void TForm1::attachData(data::TDM& dm)
{
    grid_->bind(dm.Otd.get(), {{QStringLiteral("Oboln"), QStringLiteral("Больница"), 140},
                               {QStringLiteral("Ootd"), QStringLiteral("Отделение"), 180}});
}

void TForm1::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    call(closed);
}

void TForm1::toggleErrorList()
{
    const bool show = errorArea_->isHidden();
    errorArea_->setVisible(show);
    layout()->activate(); // the minimum height follows the list at once
    resize(width(), show ? kHeightWithErrors : kHeightWithoutErrors);
}

} // namespace talvora
