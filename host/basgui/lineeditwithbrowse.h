#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace vemo::basgui {

// A line edit with a "..." button beside it. The button calls browse(),
// which a subclass overrides to pick a value (a file, a folder...); the
// default asks for an existing file, starting from the current text.
// Usable as an item-view editor: the line edit is the focus proxy.
class LineEditWithBrowse : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged USER true)
public:
    explicit LineEditWithBrowse(QWidget* parent = nullptr);
    ~LineEditWithBrowse() override;

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* browseButton() const { return m_button; }
    QString text() const;
    void setText(const QString& text);

signals:
    void textChanged(const QString& text);
    void editingFinished();

protected:
    virtual void browse();

private:
    QLineEdit* m_edit;
    QToolButton* m_button;
};

} // namespace vemo::basgui
