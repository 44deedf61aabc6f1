#include "token/tokendialog.h"

#include "kit/labelgroupbox.h"
#include "token/tokendelegate.h"
#include "token/tokenview.h"

#include "basgui/basehelp.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace vemo::toolona {

TokenDialog::TokenDialog(ToolGateway* gateway, QWidget* parent) : QDialog(parent, Qt::Dialog) {
    setModal(true);
    setWindowTitle(QStringLiteral("Token Set Manager"));
    resize(500, 500);

    m_group = new LabelGroupBox(this);
    m_view = new TokenView(gateway, m_group);
    if (auto* model = qobject_cast<QStandardItemModel*>(m_view->model()))
        model->setHorizontalHeaderLabels(
            {QStringLiteral("Name"), QStringLiteral("Num. of Bits"), QStringLiteral("Value")});
    const basgui::BaseHelp help(QStringLiteral("ondrel"));
    m_view->setWhatsThis(help.getWhatsThisText(QStringLiteral("Token_Manager"), QStringLiteral("Token_Sets")));
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setItemDelegate(new TokenDelegate(this, gateway, m_view));
    m_view->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_view->expandAll();
    auto* groupLayout = new QVBoxLayout(m_group);
    groupLayout->addWidget(m_view);

    auto* buttons = new QDialogButtonBox(this);
    m_addSet = buttons->addButton(QStringLiteral("Add Set"), QDialogButtonBox::ActionRole);
    m_addToken = buttons->addButton(QStringLiteral("Add Token"), QDialogButtonBox::ActionRole);
    m_remove = buttons->addButton(QStringLiteral("Remove"), QDialogButtonBox::ActionRole);
    // Token files in and out, not only from the tree's context menu.
    m_import = buttons->addButton(QStringLiteral("Import..."), QDialogButtonBox::ActionRole);
    m_export = buttons->addButton(QStringLiteral("Export..."), QDialogButtonBox::ActionRole);
    m_import->setToolTip(QStringLiteral("Add the token sets of a token file (*.ont)"));
    m_export->setToolTip(QStringLiteral("Write the user token sets to a token file (*.ont)"));
    m_close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::ActionRole);
    m_addToken->setEnabled(false);
    m_remove->setEnabled(false);
    // No button takes Enter: it ends a cell edit, not the dialog.
    for (QPushButton* b : {m_addSet, m_addToken, m_remove, m_import, m_export, m_close})
        b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->addWidget(m_group);
    layout->addWidget(buttons);

    connect(m_view, &TokenView::tokenSelection, this, &TokenDialog::doSelection);
    connect(m_addSet, &QPushButton::clicked, this, &TokenDialog::doNew);
    connect(m_addToken, &QPushButton::clicked, this, &TokenDialog::doAdd);
    connect(m_remove, &QPushButton::clicked, this, &TokenDialog::doRemove);
    connect(m_import, &QPushButton::clicked, m_view, &TokenView::importTokens);
    connect(m_export, &QPushButton::clicked, m_view, &TokenView::exportTokens);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
}

void TokenDialog::setEditError(const QString& text, const QString& reason) {
    m_error = text;
    m_group->setLabel(text.isEmpty() ? QString() : QStringLiteral("<font color=\"red\">%1</font>").arg(text));
    m_group->label()->setToolTip(reason.toHtmlEscaped());
}

void TokenDialog::doSelection(int set) {
    m_addToken->setEnabled(set >= 0);
    m_remove->setEnabled(set >= 0);
}

void TokenDialog::doNew() { m_view->addTokenSet(); }

void TokenDialog::doAdd() { m_view->addToken(); }

void TokenDialog::doRemove() { m_view->removeSelected(); }

} // namespace vemo::toolona
