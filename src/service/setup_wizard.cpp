#include "setup_wizard.h"

#include "data/data_module.h"
#include "service/department_import.h"
#include "ui/db_grid.h"
#include "ui/error_display.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace talvora {

using ui::guarded;

namespace {

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLineEdit* nameField(const QString& proposed, const QString& accessibleName, const QString& objectName,
                     QWidget* parent)
{
    auto* edit = new QLineEdit(proposed, parent);
    edit->setAccessibleName(accessibleName);
    edit->setObjectName(objectName);
    return edit;
}

} // namespace

TForm11::TForm11(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Мастер первичной настройки"), QSize(640, 480), parent), dm_(dm),
      wizard_(std::make_unique<service::SetupWizard>(dm))
{
    setObjectName(QStringLiteral("TForm11"));
    auto* layout = new QVBoxLayout(this);
    c_.pages = new QStackedWidget(this);
    c_.pages->setObjectName(QStringLiteral("pages"));
    c_.namingPage = buildNamingPage();
    c_.importPage = buildImportPage();
    c_.pages->addWidget(c_.namingPage);
    c_.pages->addWidget(c_.importPage);
    c_.pages->setCurrentWidget(c_.namingPage);
    layout->addWidget(c_.pages);

    connect(c_.create, &QPushButton::clicked, this, guarded([this] { CreateClick(); }));
    connect(c_.startImport, &QPushButton::clicked, this, guarded([this] { StartImportClick(); }));
    connect(wizard_.get(), &service::SetupWizard::targetChanged, c_.target, &QLabel::setText);
}

TForm11::~TForm11() = default;

QWidget* TForm11::buildNamingPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("namingPage"));
    auto* columns = new QHBoxLayout(page);
    auto* fields = new QVBoxLayout;
    columns->addLayout(fields, 1);

    auto* names = heading(QStringLiteral("Название больницы и отделения"), page);
    fields->addWidget(names);
    c_.hospital = nameField(QStringLiteral("ГКБ №"), QStringLiteral("Больница"), QStringLiteral("hospital"), page);
    c_.department =
        nameField(QStringLiteral("Отделение "), QStringLiteral("Отделение"), QStringLiteral("department"), page);
    names->setBuddy(c_.hospital);
    fields->addWidget(c_.hospital);
    fields->addWidget(c_.department);

    const QString documentTypes = QStringLiteral("Типы шаблонов служебных документов");
    auto* documentHeading = heading(documentTypes, page);
    fields->addSpacing(8);
    fields->addWidget(documentHeading);
    const QStringList proposedDocumentTypes{QStringLiteral("Осмотр по дежурству"), QStringLiteral("Этапный эпикриз"),
                                            QStringLiteral("Совместный осмотр"), QStringLiteral("Выписки")};
    for (int i = 0; i < proposedDocumentTypes.size(); ++i) {
        auto* edit = nameField(proposedDocumentTypes[i], QStringLiteral("%1, %2-й").arg(documentTypes).arg(i + 1),
                               QStringLiteral("documentType%1").arg(i + 1), page);
        c_.documentTypes << edit;
        fields->addWidget(edit);
    }
    documentHeading->setBuddy(c_.documentTypes.front());

    const QString resultTypes = QStringLiteral("Типы результирующих документов");
    auto* resultHeading = heading(resultTypes, page);
    fields->addSpacing(8);
    fields->addWidget(resultHeading);
    const QStringList proposedResultTypes{QStringLiteral("Лабораторные"), QStringLiteral("Инструментальные"),
                                          QStringLiteral("Выписки")};
    for (int i = 0; i < proposedResultTypes.size(); ++i) {
        auto* edit = nameField(proposedResultTypes[i], QStringLiteral("%1, %2-й").arg(resultTypes).arg(i + 1),
                               QStringLiteral("resultType%1").arg(i + 1), page);
        c_.resultTypes << edit;
        fields->addWidget(edit);
    }
    resultHeading->setBuddy(c_.resultTypes.front());
    fields->addStretch();

    // The right-hand column.
    auto* right = new QVBoxLayout;
    columns->addLayout(right);
    c_.namingErrorReport = makeErrorReportButton(11, QStringLiteral("Мастер 1-чн настр (названия): "), page);
    right->addWidget(c_.namingErrorReport, 0, Qt::AlignRight);
    right->addStretch();
    auto* createLabel = new QLabel(QStringLiteral("Создать  рабочее место"), page);
    right->addWidget(createLabel);
    c_.create = new QPushButton(QStringLiteral("Создать  !"), page);
    c_.create->setObjectName(QStringLiteral("create"));
    c_.create->setAccessibleName(c_.create->text());
    c_.create->setAccessibleDescription(createLabel->text());
    createLabel->setBuddy(c_.create);
    right->addWidget(c_.create);
    right->addStretch();
    return page;
}

QWidget* TForm11::buildImportPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("importPage"));
    auto* layout = new QGridLayout(page);

    layout->addWidget(heading(QStringLiteral("Импорт настроек"), page), 0, 0);
    c_.importErrorReport = makeErrorReportButton(11, QStringLiteral("Мастер 1-чн настр (импорт): "), page);
    layout->addWidget(c_.importErrorReport, 0, 1, Qt::AlignRight);

    auto* targetRow = new QHBoxLayout;
    auto* into = new QLabel(QStringLiteral("Импортировать в "), page);
    c_.target = heading(wizard_->targetName(), page);
    c_.target->setObjectName(QStringLiteral("target"));
    c_.target->setAccessibleName(into->text());
    c_.target->setTextInteractionFlags(Qt::TextSelectableByMouse);
    targetRow->addWidget(into);
    targetRow->addWidget(c_.target, 1);
    layout->addLayout(targetRow, 1, 0, 1, 2);

    const QString choose = QStringLiteral("Выберите источник импорта");
    auto* chooseLabel = new QLabel(choose, page);
    layout->addWidget(chooseLabel, 2, 0, 1, 2);
    c_.sources = new ui::DBGrid(page);
    c_.sources->setObjectName(QStringLiteral("sources"));
    c_.sources->setAccessibleName(choose);
    c_.sources->bind(dm_.Otd.get(), {{QStringLiteral("Oboln"), QStringLiteral("Больница"), 250},
                                     {QStringLiteral("Ootd"), QStringLiteral("Отделение"), 250}});
    chooseLabel->setBuddy(c_.sources);
    layout->addWidget(c_.sources, 3, 0, 1, 2);
    layout->setRowStretch(3, 1);

    c_.startImport = new QPushButton(QStringLiteral("Начать импорт!"), page);
    c_.startImport->setObjectName(QStringLiteral("startImport"));
    c_.startImport->setAccessibleName(c_.startImport->text());
    layout->addWidget(c_.startImport, 4, 0, Qt::AlignLeft);

    c_.progressPanel = new QWidget(page);
    c_.progressPanel->setObjectName(QStringLiteral("progressPanel"));
    auto* panel = new QHBoxLayout(c_.progressPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    c_.progressBar = new QProgressBar(c_.progressPanel);
    c_.progressBar->setTextVisible(false);
    c_.progressBar->setAccessibleName(QStringLiteral("Ход импорта"));
    c_.percent = new QLabel(QStringLiteral("0"), c_.progressPanel);
    c_.percent->setObjectName(QStringLiteral("percent"));
    c_.percent->setAccessibleName(QStringLiteral("%"));
    auto* percentSign = new QLabel(QStringLiteral("%"), c_.progressPanel);
    c_.copying = new QLabel(c_.progressPanel);
    c_.copying->setObjectName(QStringLiteral("copying"));
    c_.copying->setAccessibleName(QStringLiteral("Что копируется"));
    panel->addWidget(c_.progressBar, 1);
    panel->addWidget(c_.percent);
    panel->addWidget(percentSign);
    panel->addWidget(c_.copying, 1);
    c_.progressPanel->hide();
    layout->addWidget(c_.progressPanel, 5, 0, 1, 2);
    return page;
}

void TForm11::CreateClick()
{
    service::NewWorkplace workplace{c_.hospital->text(), c_.department->text(), {}};
    for (const QLineEdit* edit : std::as_const(c_.documentTypes))
        workplace.documentTypes << edit->text();
    if (wizard_->CreateWorkplace(workplace)) {
        c_.pages->setCurrentWidget(c_.importPage);
        return;
    }
    if (links.openBoilerplateSettings)
        links.openBoilerplateSettings();
    close();
}

void TForm11::StartImportClick()
{
    // The panel shows the copy that runs; it is painted at once, since the
    // import keeps the event loop waiting until it ends.
    struct Panel {
        const Controls& c;
        ~Panel() { c.progressPanel->hide(); }
    } panel{c_};
    c_.progressPanel->show();
    service::ImportProgress progress;
    progress.stage = [this](const QString& what, int rows) {
        c_.copying->setText(what);
        c_.progressBar->setRange(0, std::max(rows, 1)); // an empty range would show a busy bar
        c_.progressBar->setValue(0);
        c_.percent->setText(QStringLiteral("0"));
        c_.progressPanel->repaint();
    };
    progress.step = [this](int row, int rows) {
        c_.progressBar->setValue(row);
        c_.percent->setText(QString::number(service::importPercent(row, rows)));
        c_.progressPanel->repaint();
    };
    wizard_->StartImport(progress);
    c_.pages->setCurrentWidget(c_.namingPage);
    close();
}

} // namespace talvora
