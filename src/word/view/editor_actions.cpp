#include "word/view/editor_actions.h"

#include "common/errors.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "word/view/document_view.h"
#include "word/view/toolbar_icons.h"

#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QImage>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>
#include <QTextTable>
#include <QToolBar>
#include <QUrl>

namespace talvora::word {

namespace {

QToolBar* newBar(QWidget* parent, const QString& name, const QString& title)
{
    auto* bar = new QToolBar(title, parent);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setAccessibleName(title);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return bar;
}

} // namespace

EditorActions::EditorActions(DocumentView& view, QTextEdit& editor, QWidget* barParent)
    : QObject(&view), view_(view), editor_(editor)
{
    standard_ = newBar(barParent, QStringLiteral("Standard"), QStringLiteral("Стандартная"));
    formatting_ = newBar(barParent, QStringLiteral("Formatting"), QStringLiteral("Форматирование"));
    drawing_ = newBar(barParent, QStringLiteral("Drawing"), QStringLiteral("Рисование"));

    // Standard
    connect(add(standard_, QStringLiteral("saveAs"), QStringLiteral("Сохранить как .doc…")), &QAction::triggered,
            &view, [this] { view_.saveAsDocInteractive(); });
    connect(add(standard_, QStringLiteral("print"), QStringLiteral("Печать…"), QKeySequence(Qt::CTRL | Qt::Key_P)),
            &QAction::triggered, &view, [this] { view_.printInteractive(); });
    connect(add(standard_, QStringLiteral("preview"), QStringLiteral("Предварительный просмотр")),
            &QAction::triggered, &view, [this] { view_.printPreviewInteractive(); });
    connect(add(standard_, QStringLiteral("pdf"), QStringLiteral("Экспорт в PDF…")), &QAction::triggered, &view,
            [this] { view_.exportPdfInteractive(); });
    standard_->addSeparator();
    QAction* undo = add(standard_, QStringLiteral("undo"), QStringLiteral("Отменить"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = add(standard_, QStringLiteral("redo"), QStringLiteral("Вернуть"), QKeySequence(Qt::CTRL | Qt::Key_Y));
    connect(undo, &QAction::triggered, &editor_, &QTextEdit::undo);
    connect(redo, &QAction::triggered, &editor_, &QTextEdit::redo);
    standard_->addSeparator();
    connect(add(standard_, QStringLiteral("cut"), QStringLiteral("Вырезать"), QKeySequence(Qt::CTRL | Qt::Key_X)),
            &QAction::triggered, &editor_, &QTextEdit::cut);
    connect(add(standard_, QStringLiteral("copy"), QStringLiteral("Копировать"), QKeySequence(Qt::CTRL | Qt::Key_C)),
            &QAction::triggered, &editor_, &QTextEdit::copy);
    connect(add(standard_, QStringLiteral("paste"), QStringLiteral("Вставить"), QKeySequence(Qt::CTRL | Qt::Key_V)),
            &QAction::triggered, &editor_, &QTextEdit::paste);
    standard_->addSeparator();
    connect(add(standard_, QStringLiteral("insertFile"), QStringLiteral("Вставить файл…")), &QAction::triggered,
            &view, [this] { view_.insertFileInteractive(); });
    QAction* selectAll = new QAction(QStringLiteral("Выделить всё"), this);
    selectAll->setObjectName(QStringLiteral("selectAll"));
    selectAll->setIcon(commandIcon(selectAll->objectName()));
    selectAll->setToolTip(QStringLiteral("Выделить всё (%1)").arg(QKeySequence(Qt::CTRL | Qt::Key_A).toString(QKeySequence::NativeText)));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    selectAll->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(selectAll, &QAction::triggered, &editor_, &QTextEdit::selectAll);
    view.addAction(selectAll);
    actions_.insert(selectAll->objectName(), selectAll);

    // Formatting
    font_ = new QFontComboBox(formatting_);
    font_->setObjectName(QStringLiteral("font"));
    font_->setToolTip(QStringLiteral("Шрифт"));
    font_->setAccessibleName(font_->toolTip());
    formatting_->addWidget(font_);
    connect(font_, &QFontComboBox::textActivated, this, [this](const QString& family) {
        QTextCharFormat f;
        f.setFontFamilies(QStringList{family});
        mergeFormat(f);
    });
    size_ = new QComboBox(formatting_);
    size_->setObjectName(QStringLiteral("size"));
    size_->setToolTip(QStringLiteral("Размер шрифта"));
    size_->setAccessibleName(size_->toolTip());
    size_->setEditable(true);
    for (int s : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        size_->addItem(QString::number(s));
    formatting_->addWidget(size_);
    connect(size_, &QComboBox::textActivated, this, [this](const QString& text) {
        bool ok = false;
        const double points = QString(text).replace(u',', u'.').toDouble(&ok);
        if (!ok || points < 1 || points > 1638)
            return;
        QTextCharFormat f;
        f.setFontPointSize(points);
        mergeFormat(f);
    });
    formatting_->addSeparator();
    connect(add(formatting_, QStringLiteral("bold"), QStringLiteral("Полужирный"), QKeySequence(Qt::CTRL | Qt::Key_B), true),
            &QAction::triggered, this, [this](bool on) {
                QTextCharFormat f;
                f.setFontWeight(on ? QFont::Bold : QFont::Normal);
                mergeFormat(f);
            });
    connect(add(formatting_, QStringLiteral("italic"), QStringLiteral("Курсив"), QKeySequence(Qt::CTRL | Qt::Key_I), true),
            &QAction::triggered, this, [this](bool on) {
                QTextCharFormat f;
                f.setFontItalic(on);
                mergeFormat(f);
            });
    connect(add(formatting_, QStringLiteral("underline"), QStringLiteral("Подчеркнутый"), QKeySequence(Qt::CTRL | Qt::Key_U), true),
            &QAction::triggered, this, [this](bool on) {
                QTextCharFormat f;
                f.setFontUnderline(on);
                mergeFormat(f);
            });
    connect(add(formatting_, QStringLiteral("color"), QStringLiteral("Цвет текста…")), &QAction::triggered, this,
            [this] { chooseColor(); });
    formatting_->addSeparator();
    auto* alignments = new QActionGroup(this);
    const struct { const char* name; const char* text; Qt::Key key; Qt::Alignment align; } aligns[] = {
        {"alignLeft", "По левому краю", Qt::Key_L, Qt::AlignLeft | Qt::AlignAbsolute},
        {"alignCenter", "По центру", Qt::Key_E, Qt::AlignHCenter},
        {"alignRight", "По правому краю", Qt::Key_R, Qt::AlignRight | Qt::AlignAbsolute},
        {"alignJustify", "По ширине", Qt::Key_J, Qt::AlignJustify},
    };
    for (const auto& a : aligns) {
        QAction* act = add(formatting_, QString::fromLatin1(a.name), QString::fromUtf8(a.text),
                           QKeySequence(Qt::CTRL | a.key), true);
        alignments->addAction(act);
        const Qt::Alignment align = a.align;
        connect(act, &QAction::triggered, this, [this, align] { editor_.setAlignment(align); });
    }
    formatting_->addSeparator();
    connect(add(formatting_, QStringLiteral("numbered"), QStringLiteral("Нумерованный список")), &QAction::triggered,
            this, [this] { setList(QTextListFormat::ListDecimal); });
    connect(add(formatting_, QStringLiteral("bulleted"), QStringLiteral("Маркированный список")), &QAction::triggered,
            this, [this] { setList(QTextListFormat::ListDisc); });
    connect(add(formatting_, QStringLiteral("outdent"), QStringLiteral("Уменьшить отступ")), &QAction::triggered, this,
            [this] { indent(-1); });
    connect(add(formatting_, QStringLiteral("indent"), QStringLiteral("Увеличить отступ")), &QAction::triggered, this,
            [this] { indent(1); });

    // Drawing
    connect(add(drawing_, QStringLiteral("insertTable"), QStringLiteral("Вставить таблицу…")), &QAction::triggered, this,
            ui::guarded([this] { askTable(); }));
    connect(add(drawing_, QStringLiteral("insertPicture"), QStringLiteral("Вставить рисунок…")), &QAction::triggered, this,
            ui::guarded([this] { askPicture(); }));
    drawing_->addSeparator();
    connect(add(drawing_, QStringLiteral("insertRow"), QStringLiteral("Вставить строку")), &QAction::triggered, this,
            [this] { tableRow(true); });
    connect(add(drawing_, QStringLiteral("deleteRow"), QStringLiteral("Удалить строку")), &QAction::triggered, this,
            [this] { tableRow(false); });
    connect(add(drawing_, QStringLiteral("insertColumn"), QStringLiteral("Вставить столбец")), &QAction::triggered, this,
            [this] { tableColumn(true); });
    connect(add(drawing_, QStringLiteral("deleteColumn"), QStringLiteral("Удалить столбец")), &QAction::triggered, this,
            [this] { tableColumn(false); });

    connect(&editor_, &QTextEdit::currentCharFormatChanged, this, [this] { showCurrentFormat(); });
    connect(&editor_, &QTextEdit::cursorPositionChanged, this, [this] { showCurrentFormat(); });
    connect(&editor_, &QTextEdit::undoAvailable, undo, [this, undo](bool on) { undo->setEnabled(editing_ && on); });
    connect(&editor_, &QTextEdit::redoAvailable, redo, [this, redo](bool on) { redo->setEnabled(editing_ && on); });
    setEditing(false);
}

QAction* EditorActions::add(QToolBar* bar, const QString& name, const QString& text, const QKeySequence& key,
                            bool checkable)
{
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    a->setCheckable(checkable);
    QString tip = text;
    tip.remove(QStringLiteral("…"));
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        tip += QStringLiteral(" (%1)").arg(key.toString(QKeySequence::NativeText));
        // The keys work while the bars are hidden too.
        view_.addAction(a);
    }
    a->setToolTip(tip);
    a->setIcon(commandIcon(name));
    bar->addAction(a);
    // A button shows only the icon: its name for a screen reader is the caption.
    if (QWidget* button = bar->widgetForAction(a))
        button->setAccessibleName(text);
    actions_.insert(name, a);
    return a;
}

void EditorActions::setEditing(bool editing)
{
    editing_ = editing;
    // Saving, printing and copying need no editing; the rest change the text.
    static const QStringList always = {QStringLiteral("saveAs"), QStringLiteral("print"), QStringLiteral("preview"),
                                       QStringLiteral("pdf"), QStringLiteral("copy"), QStringLiteral("selectAll")};
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it)
        it.value()->setEnabled(editing || always.contains(it.key()));
    action(QStringLiteral("undo"))->setEnabled(editing && editor_.document()->isUndoAvailable());
    action(QStringLiteral("redo"))->setEnabled(editing && editor_.document()->isRedoAvailable());
    font_->setEnabled(editing);
    size_->setEnabled(editing);
}

void EditorActions::mergeFormat(const QTextCharFormat& format)
{
    if (!editing_)
        return;
    // Without a selection the word under the cursor takes the format, as in
    // Word, and so does what is typed next.
    QTextCursor word = editor_.textCursor();
    if (!word.hasSelection()) {
        word.select(QTextCursor::WordUnderCursor);
        word.mergeCharFormat(format);
    }
    editor_.mergeCurrentCharFormat(format);
    editor_.setFocus();
}

void EditorActions::showCurrentFormat()
{
    const QTextCharFormat f = editor_.currentCharFormat();
    action(QStringLiteral("bold"))->setChecked(f.fontWeight() >= QFont::DemiBold);
    action(QStringLiteral("italic"))->setChecked(f.fontItalic());
    action(QStringLiteral("underline"))->setChecked(f.fontUnderline());
    const QStringList families = f.fontFamilies().toStringList();
    const QSignalBlocker b1(font_), b2(size_);
    if (!families.isEmpty())
        font_->setCurrentFont(QFont(families.first()));
    if (f.hasProperty(QTextFormat::FontPointSize))
        size_->setEditText(QString::number(f.fontPointSize()));
    const Qt::Alignment a = editor_.alignment();
    const char* name = (a & Qt::AlignHCenter) ? "alignCenter"
                       : (a & Qt::AlignJustify) ? "alignJustify"
                       : (a & Qt::AlignRight)   ? "alignRight"
                                                : "alignLeft";
    action(QString::fromLatin1(name))->setChecked(true);
}

void EditorActions::setList(int style)
{
    if (!editing_)
        return;
    QTextCursor c = editor_.textCursor();
    c.beginEditBlock();
    if (QTextList* list = c.currentList(); list && list->format().style() == QTextListFormat::Style(style)) {
        // The same command again takes the paragraphs out of the list.
        const QTextBlock first = editor_.document()->findBlock(c.selectionStart());
        const QTextBlock last = editor_.document()->findBlock(c.selectionEnd());
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            if (QTextList* l = b.textList())
                l->remove(b);
            QTextCursor bc(b);
            QTextBlockFormat bf = b.blockFormat();
            bf.setIndent(0);
            bc.setBlockFormat(bf);
            if (b == last)
                break;
        }
    } else {
        QTextListFormat lf;
        lf.setStyle(QTextListFormat::Style(style));
        lf.setIndent(std::max(1, c.blockFormat().indent() + 1));
        c.createList(lf);
    }
    c.endEditBlock();
}

void EditorActions::indent(int delta)
{
    if (!editing_)
        return;
    QTextCursor c = editor_.textCursor();
    if (QTextList* list = c.currentList()) {
        QTextListFormat lf = list->format();
        lf.setIndent(std::max(1, lf.indent() + delta));
        list->setFormat(lf);
        return;
    }
    QTextBlockFormat bf;
    bf.setIndent(std::max(0, c.blockFormat().indent() + delta));
    c.mergeBlockFormat(bf);
}

void EditorActions::tableRow(bool insert)
{
    if (!editing_)
        return;
    QTextCursor c = editor_.textCursor();
    QTextTable* table = c.currentTable();
    if (!table)
        return;
    const int row = table->cellAt(c).row();
    if (insert)
        table->insertRows(row + 1, 1);
    else if (table->rows() > 1)
        table->removeRows(row, 1);
    else
        table->removeRows(0, 1); // the last row takes the table with it
}

void EditorActions::tableColumn(bool insert)
{
    if (!editing_)
        return;
    QTextCursor c = editor_.textCursor();
    QTextTable* table = c.currentTable();
    if (!table)
        return;
    const int column = table->cellAt(c).column();
    if (insert)
        table->insertColumns(column + 1, 1);
    else if (table->columns() > 1)
        table->removeColumns(column, 1);
}

void EditorActions::chooseColor()
{
    if (!editing_)
        return;
    const QColor color = QColorDialog::getColor(editor_.textColor(), &view_, QStringLiteral("Цвет текста"));
    if (!color.isValid())
        return;
    QTextCharFormat f;
    f.setForeground(color);
    mergeFormat(f);
}

void EditorActions::insertTable(int rows, int columns)
{
    if (!editing_ || rows < 1 || columns < 1)
        return;
    QTextTableFormat tf;
    tf.setBorder(0.5);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setCellPadding(2);
    tf.setCellSpacing(0);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    editor_.textCursor().insertTable(rows, columns, tf);
}

void EditorActions::askTable()
{
    if (!editing_)
        return;
    const QString answer = dialogs().input(QStringLiteral("Вставить таблицу"),
                                           QStringLiteral("Строк и столбцов (например, 3x4):"), QStringLiteral("3x3"));
    static const QRegularExpression shape(QStringLiteral("^\\s*(\\d{1,3})\\s*[xXхХ*×]\\s*(\\d{1,2})\\s*$"));
    const auto m = shape.match(answer);
    if (!m.hasMatch())
        throw Error(QStringLiteral("Размер таблицы указан неверно: «%1»").arg(answer));
    const int rows = m.captured(1).toInt();
    const int columns = m.captured(2).toInt();
    if (rows < 1 || columns < 1 || rows > 500 || columns > 63)
        throw Error(QStringLiteral("Размер таблицы указан неверно: «%1»").arg(answer));
    insertTable(rows, columns);
}

void EditorActions::insertPicture(const QString& path)
{
    if (!editing_)
        return;
    const QImage image(path);
    if (image.isNull())
        throw Error(QStringLiteral("Не удалось прочитать рисунок «%1»").arg(path));
    QTextDocument* doc = editor_.document();
    QString name;
    for (int n = 1;; ++n) {
        name = QStringLiteral("picture-%1").arg(n);
        if (!doc->resource(QTextDocument::ImageResource, QUrl(name)).isValid())
            break;
    }
    doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat f;
    f.setName(name);
    // Shown at its own resolution, no wider than the text (the model's
    // lengths are the editor's layout units, 1/96 inch).
    double w = image.width() * 96.0 / std::max(1.0, image.dotsPerMeterX() * 0.0254);
    double h = image.height() * 96.0 / std::max(1.0, image.dotsPerMeterY() * 0.0254);
    const double maxWidth = editor_.viewport()->width();
    if (maxWidth > 10 && w > maxWidth) {
        h *= maxWidth / w;
        w = maxWidth;
    }
    f.setWidth(w);
    f.setHeight(h);
    editor_.textCursor().insertImage(f);
}

void EditorActions::askPicture()
{
    if (!editing_)
        return;
    FileDialogRequest request;
    request.caption = QStringLiteral("Вставить рисунок");
    request.filter = QStringLiteral("Рисунки (*.png *.jpg *.jpeg *.bmp *.gif);;Все файлы (*)");
    const QString path = dialogs().openFileName(request);
    if (!path.isEmpty())
        insertPicture(path);
}

} // namespace talvora::word
