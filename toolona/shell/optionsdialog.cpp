#include "shell/optionsdialog.h"

#include "theme/themesetting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vemo::toolona {

OptionsDialog::OptionsDialog(int initSerdes, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Options"));
    setObjectName(QStringLiteral("OptionsDialog"));
    auto* form = new QFormLayout;
    m_theme = new QComboBox(this);
    m_theme->addItem(tr("Light"), QStringLiteral("light"));
    m_theme->addItem(tr("Dark"), QStringLiteral("dark"));
    m_theme->setCurrentIndex(vemo::theme::ThemeSetting::isDark() ? 1 : 0);
    form->addRow(tr("Theme:"), m_theme);
    m_initSerdes = new QCheckBox(tr("Initialise the SERDES when a project opens"), this);
    m_initSerdes->setChecked(initSerdes != 0);
    form->addRow(QString(), m_initSerdes);
    auto* note = new QLabel(tr("A new theme applies to the whole window at once."), this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

QString OptionsDialog::theme() const { return m_theme->currentData().toString(); }

int OptionsDialog::initSerdes() const { return m_initSerdes->isChecked() ? 1 : 0; }

} // namespace vemo::toolona
