#pragma once

#include <QDialog>

class QPushButton;

namespace vemo::toolona {

class LabelGroupBox;
class TokenView;
class ToolGateway;

// The "Token Set Manager": the user token sets of the project as a tree,
// with buttons to add sets and tokens and to remove them. Every change is an
// engine command; the tree is the engine's model.
class TokenDialog : public QDialog {
    Q_OBJECT
public:
    TokenDialog(ToolGateway* gateway, QWidget* parent = nullptr);

    TokenView* view() const { return m_view; }
    LabelGroupBox* groupBox() const { return m_group; }
    QPushButton* addSetButton() const { return m_addSet; }
    QPushButton* addTokenButton() const { return m_addToken; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* closeButton() const { return m_close; }

    // The last edit's error in red in the group title (with the engine's
    // reason as its tip); an empty text clears it.
    void setEditError(const QString& text, const QString& reason = QString());
    QString editError() const { return m_error; }

public slots:
    void doSelection(int set);
    void doNew();
    void doAdd();
    void doRemove();

private:
    LabelGroupBox* m_group;
    TokenView* m_view;
    QPushButton* m_addSet;
    QPushButton* m_addToken;
    QPushButton* m_remove;
    QPushButton* m_import;
    QPushButton* m_export;
    QPushButton* m_close;
    QString m_error;
};

} // namespace vemo::toolona
