#include "basgui/aboutdialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <tcl.h>

namespace vemo::basgui {

namespace {

QString tclVersion() {
    int major = 0, minor = 0, patch = 0, type = 0;
    Tcl_GetVersion(&major, &minor, &patch, &type);
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent, const QString& title, const QString& text, const QIcon& icon)
    : QDialog(parent) {
    setWindowTitle(tr("About %1").arg(title));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* iconLabel = new QLabel(this);
    iconLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    QIcon shown = icon.isNull() ? QApplication::windowIcon() : icon;
    if (!shown.isNull())
        iconLabel->setPixmap(shown.pixmap(QSize(64, 64), devicePixelRatio()));
    iconLabel->setVisible(!shown.isNull());

    m_heading = new QLabel(title, this);
    m_heading->setTextFormat(Qt::PlainText);
    QFont f = m_heading->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    m_heading->setFont(f);

    m_body = new QLabel(text == title ? QString() : text, this);
    m_body->setWordWrap(true);
    m_body->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_body->setVisible(!m_body->text().isEmpty());

    QStringList lines;
    const QString appVersion = QCoreApplication::applicationVersion();
    if (!appVersion.isEmpty())
        lines << tr("Version %1").arg(appVersion);
    lines << tr("Built with Qt %1, running on Qt %2 and Tcl %3")
                 .arg(QStringLiteral(QT_VERSION_STR), qVersion(), tclVersion());
    m_versions = new QLabel(lines.join(QLatin1Char('\n')), this);
    m_versions->setTextFormat(Qt::PlainText);
    m_versions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Secondary text: between the text and the background, readable in both themes.
    QPalette pal = m_versions->palette();
    const QColor fg = pal.color(QPalette::WindowText), bg = pal.color(QPalette::Window);
    pal.setColor(QPalette::WindowText, QColor((fg.red() * 3 + bg.red()) / 4, (fg.green() * 3 + bg.green()) / 4,
                                              (fg.blue() * 3 + bg.blue()) / 4));
    m_versions->setPalette(pal);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(20, 20, 20, 14);
    grid->setHorizontalSpacing(20);
    grid->setVerticalSpacing(8);
    grid->addWidget(iconLabel, 0, 0, 3, 1);
    grid->addWidget(m_heading, 0, 1);
    grid->addWidget(m_body, 1, 1);
    grid->addWidget(m_versions, 2, 1);
    grid->setRowMinimumHeight(3, 8);
    grid->addWidget(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    m_heading->setMinimumWidth(300);
}

QString AboutDialog::heading() const { return m_heading->text(); }
QString AboutDialog::body() const { return m_body->text(); }
QString AboutDialog::versions() const { return m_versions->text(); }

} // namespace vemo::basgui
