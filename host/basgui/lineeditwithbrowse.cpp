#include "basgui/lineeditwithbrowse.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace vemo::basgui {

LineEditWithBrowse::LineEditWithBrowse(QWidget* parent) : QWidget(parent) {
    m_edit = new QLineEdit(this);
    m_button = new QToolButton(this);
    m_button->setText(QStringLiteral("..."));
    m_button->setToolTip(tr("Browse"));
    // Clicking the button must not take the focus from the line edit: in an
    // item view that would close the editor before the dialog opens.
    m_button->setFocusPolicy(Qt::NoFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);

    setFocusProxy(m_edit);
    // An item-view editor must hide the cell text under it.
    setAutoFillBackground(true);

    connect(m_edit, &QLineEdit::textChanged, this, &LineEditWithBrowse::textChanged);
    connect(m_edit, &QLineEdit::editingFinished, this, &LineEditWithBrowse::editingFinished);
    connect(m_button, &QToolButton::clicked, this, [this] { browse(); });
}

LineEditWithBrowse::~LineEditWithBrowse() {
    // The line edit outlives this body (children go in ~QWidget) and may still
    // emit, e.g. editingFinished when it loses focus; it must not reach a
    // half-destroyed LineEditWithBrowse.
    disconnect(m_edit, nullptr, this, nullptr);
}

QString LineEditWithBrowse::text() const { return m_edit->text(); }

void LineEditWithBrowse::setText(const QString& text) { m_edit->setText(text); }

void LineEditWithBrowse::browse() {
    const QString current = text().trimmed();
    const QString start = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    const QString file = QFileDialog::getOpenFileName(this, tr("Select File"), start);
    if (!file.isEmpty())
        setText(file);
}

} // namespace vemo::basgui
