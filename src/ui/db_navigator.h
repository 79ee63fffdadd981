#pragma once
// A record navigator: first, prior, next, last, insert, delete, edit, post,
// cancel, refresh — any subset, enabled as the dataset's state allows.

#include "data/dataset.h"

#include <QFlags>
#include <QPointer>
#include <QWidget>

#include <map>

class QToolButton;


namespace talvora::ui {

class DBNavigator : public QWidget {
    Q_OBJECT

public:
    enum Button {
        First = 0x001,
        Prior = 0x002,
        Next = 0x004,
        Last = 0x008,
        Insert = 0x010,
        Delete = 0x020,
        Edit = 0x040,
        Post = 0x080,
        Cancel = 0x100,
        Refresh = 0x200,
    };
    Q_DECLARE_FLAGS(Buttons, Button)
    static constexpr Buttons kAll = Buttons(0x3FF);

    explicit DBNavigator(QWidget* parent = nullptr);

    void bind(data::Dataset* dataset, Buttons visible = kAll);
    data::Dataset* dataset() const { return dataset_; }
    // Ask "Удалить запись?" before deleting (off by default: the windows'
    // own delete handlers ask what they need).
    void setConfirmDelete(bool on) { confirmDelete_ = on; }

    QToolButton* button(Button b) const;
    // Presses a button as the user would.
    void press(Button b);

signals:
    void pressed(talvora::ui::DBNavigator::Button button);

private:
    void updateButtons();

    QPointer<data::Dataset> dataset_;
    std::map<Button, QToolButton*> buttons_;
    Buttons visible_ = kAll;
    bool confirmDelete_ = false;
};

} // namespace talvora::ui

Q_DECLARE_OPERATORS_FOR_FLAGS(talvora::ui::DBNavigator::Buttons)
