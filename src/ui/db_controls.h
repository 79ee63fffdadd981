#pragma once
// Controls bound to one field of a dataset: they show the current row's
// value, and a change by the user puts the dataset into edit and writes the
// field (texts when the user leaves the control or the row is posted, choices
// at once). A change made by the program does not count as the user's.

#include "data/dataset.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVariant>

#include <vector>

class QButtonGroup;
class QRadioButton;


namespace talvora::ui {

// The link between one control and one field.
class FieldLink : public QObject {
    Q_OBJECT

public:
    FieldLink(QObject* parent) : QObject(parent) {}

    void bind(data::Dataset* dataset, const QString& field);
    data::Dataset* dataset() const { return dataset_; }
    const QString& field() const { return field_; }

    // The field's value on the current row; invalid without one.
    QVariant value() const;
    QString text() const;
    // Puts the dataset into edit (when not already) and writes the value.
    void write(const QVariant& value);
    bool canShow() const;

signals:
    // The control must show the field's value again.
    void refreshNeeded();
    // The control must write pending user input now.
    void flushNeeded();

private:
    QPointer<data::Dataset> dataset_;
    QString field_;
};

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);
    void bind(data::Dataset* dataset, const QString& field);
    FieldLink* link() const { return link_; }

private:
    void showValue();
    void flush();
    FieldLink* link_;
    bool dirty_ = false;
};

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);
    void bind(data::Dataset* dataset, const QString& field);
    FieldLink* link() const { return link_; }

protected:
    void focusOutEvent(QFocusEvent* e) override;

private:
    void showValue();
    void flush();
    FieldLink* link_;
    bool dirty_ = false;
    bool showing_ = false;
};

class DBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit DBCheckBox(const QString& text, QWidget* parent = nullptr);
    void bind(data::Dataset* dataset, const QString& field, QVariant checkedValue = true,
              QVariant uncheckedValue = false);
    FieldLink* link() const { return link_; }

private:
    void showValue();
    FieldLink* link_;
    QVariant checked_, unchecked_;
    bool showing_ = false;
};

class DBRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit DBRadioGroup(const QString& title, QWidget* parent = nullptr);
    // Items with the value each stands for.
    void setItems(const std::vector<std::pair<QString, QVariant>>& items);
    void bind(data::Dataset* dataset, const QString& field);
    FieldLink* link() const { return link_; }
    int selectedIndex() const;
    QRadioButton* item(int index) const;

private:
    void showValue();
    FieldLink* link_;
    QButtonGroup* group_;
    std::vector<QVariant> values_;
    std::vector<QRadioButton*> buttons_;
    bool showing_ = false;
};

} // namespace talvora::ui
