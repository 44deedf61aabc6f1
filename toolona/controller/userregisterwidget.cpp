#include "controller/userregisterwidget.h"

#include "controller/userregisteritemdelegate.h"
#include "controller/userregistersignaldlg.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/busyprogressdialog.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"
#include "onadata.h"
#include "oncdata.h"
#include "registerradix.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

QString joinedSignals(const RegisterEntry& e) { return e.signalNames.join(QStringLiteral(", ")); }

} // namespace

UserRegisterWidget::UserRegisterWidget(bool control, ToolGateway* gateway, QWidget* parent)
    : QWidget(parent), m_control(control), m_gateway(gateway) {
    // 826 at the least, and the page's width beyond: the extra goes to the
    // value columns, where long registers need it.
    setMinimumWidth(kMinimumWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_group = new QGroupBox(this);
    outer->addWidget(m_group);
    auto* inner = new QVBoxLayout(m_group);
    m_model = new QStandardItemModel(0, control ? 7 : 6, this);
    m_model->setHorizontalHeaderLabels(control ? QStringList{tr("Address"), tr("Name"), tr("Control Signals (MSB:LSB)"),
                                                             tr("Width"), tr("Radix"), tr("Rd Value"), tr("Wr Value")}
                                               : QStringList{tr("Address"), tr("Name"), tr("Status Signals (MSB:LSB)"),
                                                             tr("Width"), tr("Radix"), tr("Value")});
    m_table = new QTableView(m_group);
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->setMouseTracking(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_delegate = new UserRegisterItemDelegate(this);
    m_table->setItemDelegate(m_delegate);
    inner->addWidget(m_table);
    m_buttons = new QHBoxLayout;
    inner->addLayout(m_buttons);
    m_group->setTitle(tableTitle());
    const auto addButton = [this](const QString& text) {
        auto* button = new QPushButton(text, m_group);
        m_buttons->addWidget(button);
        return button;
    };
    if (control)
        addButton(tr("Apply All"))->setObjectName(QStringLiteral("applyAll"));
    m_readAll = addButton(tr("Read All"));
    m_buttons->addStretch(1);
    if (control)
        addButton(tr("Load"))->setObjectName(QStringLiteral("load"));
    m_dump = addButton(tr("Dump"));

    // Rows are filled with the model's signals blocked, so building and
    // refilling the table never reaches the slots (and sends no command).
    connect(m_model, &QStandardItemModel::itemChanged, this, &UserRegisterWidget::onTableItemChanged);
    connect(m_delegate, &UserRegisterItemDelegate::btnClicked, this, &UserRegisterWidget::onTableItemBtnClicked);
    connect(m_delegate, &UserRegisterItemDelegate::itemDblClicked, this, &UserRegisterWidget::onTableItemDblClicked);
    connect(m_readAll, &QPushButton::clicked, this, &UserRegisterWidget::onReadAllBtnClicked);
    connect(m_dump, &QPushButton::clicked, this, &UserRegisterWidget::onDumpBtnClicked);
    // A value wraps inside its cell, so the row grows with it: a 96-bit
    // value is shown whole, not elided.
    connect(m_model, &QStandardItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        for (int row = from.row(); row <= to.row(); ++row)
            m_table->resizeRowToContents(row);
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column >= RdColumn)
            m_table->resizeRowsToContents();
    });
    hide();
}

void UserRegisterWidget::fitValueColumns() {
    const int extra = qMax(0, width() - kMinimumWidth);
    const int columns = int(valueColumns().size());
    for (int column : valueColumns())
        m_table->setColumnWidth(column, kValueColumnWidth + extra / columns);
}

void UserRegisterWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitValueColumns();
}

QString UserRegisterWidget::tableTitle() const {
    return m_control ? tr("User Control Register") : tr("User Status Register");
}

QList<int> UserRegisterWidget::valueColumns() const {
    return m_control ? QList<int>{RdColumn, WrColumn} : QList<int>{RdColumn};
}

bool UserRegisterWidget::sameLayout(const RegisterListData& data) const {
    if (m_model->rowCount() != data.entries.size())
        return false;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const RegisterEntry& e = data.entries.at(row);
        const auto text = [&](int column) { return m_model->item(row, column)->text(); };
        if (text(AddressColumn) != e.address || text(NameColumn) != e.name || text(SignalsColumn) != joinedSignals(e) ||
            text(WidthColumn) != QString::number(e.width))
            return false;
    }
    return true;
}

void UserRegisterWidget::setData(const RegisterListData& data) {
    m_data = data;
    const QString suffix = m_control ? tr("(writable)") : tr("(read-only)");
    if (!m_data.isDefined() || !m_data.isEnabled()) {
        m_group->setTitle(QStringLiteral("%1 %2").arg(tableTitle(), suffix));
        hide();
        return;
    }
    m_group->setTitle(QStringLiteral("%1 %2           Address: %3 ~ %4")
                          .arg(tableTitle(), suffix, m_data.getStartAddress(), m_data.getEndAddress()));
    show();
    // Filling is never taken for an edit by the user (the model's signals
    // still flow, so the view follows the rows).
    const QScopedValueRollback<bool> filling(m_filling, true);
    if (!sameLayout(m_data))
        m_model->removeRows(0, m_model->rowCount());
    if (m_model->rowCount() == 0) {
        const QStringList& radices = OnaData::radix_list;
        for (const RegisterEntry& e : m_data.entries) {
            QList<QStandardItem*> row{new QStandardItem(e.address), new QStandardItem(e.name),
                                      new QStandardItem(joinedSignals(e)), new QStandardItem(QString::number(e.width)),
                                      new QStandardItem(radices.value(e.radix))};
            for (int i = 0; i < valueColumns().size(); ++i) {
                auto* value = new QStandardItem;
                value->setData(e.radix, RadixRole);
                row << value;
            }
            for (int c = 0; c < RdColumn; ++c)
                if (c != RadixColumn)
                    row.at(c)->setEditable(false);
            m_model->appendRow(row);
        }
    }
    for (int c : {AddressColumn, NameColumn, WidthColumn, RadixColumn})
        m_table->resizeColumnToContents(c);
    m_table->setColumnWidth(SignalsColumn, m_control ? 200 : 300);
    fitValueColumns();
    m_table->resizeRowsToContents();
}

bool UserRegisterWidget::applyRadixToAll(int radix) {
    const QStringList& radices = OnaData::radix_list;
    if (radix < 0 || radix >= radices.size() || radix >= RegisterRadix::Count)
        return false;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStandardItem* item = m_model->item(row, RadixColumn);
        if (item->text() != radices.at(radix))
            item->setText(radices.at(radix)); // onTableItemChanged converts the values
    }
    return true;
}

int UserRegisterWidget::rowOf(const QString& name) const {
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (m_model->item(row, NameColumn)->text() == name)
            return row;
    return -1;
}

void UserRegisterWidget::onTableItemChanged(QStandardItem* item) {
    if (!item || m_filling || item->column() != RadixColumn)
        return;
    const int radix = int(OnaData::radix_list.indexOf(item->text()));
    if (radix < 0 || radix >= RegisterRadix::Count)
        return;
    const int row = item->row();
    const int width = m_model->item(row, WidthColumn)->text().toInt();
    // Value cells are not radix cells: their changes come back here and stop.
    for (int column : valueColumns()) {
        QStandardItem* cell = m_model->item(row, column);
        const int old = cell->data(RadixRole).toInt();
        // A typed value too wide for the register stays as typed, in its
        // own radix: converting it would cut it to the width.
        if (old == radix || !RegisterValueValidator::unfit(cell->text(), width, old).isEmpty())
            continue;
        cell->setData(radix, RadixRole);
        const QString converted = RegisterRadix::convert(cell->text(), width, old, radix);
        if (!converted.isEmpty() && converted != cell->text())
            cell->setText(converted);
    }
}

void UserRegisterWidget::warn(const QString& text) {
    vemo::basgui::Dialogs::message(QMessageBox::Warning, this, tr("Warning"), text, QMessageBox::Ok);
}

bool UserRegisterWidget::run(const QString& command, QString* error) {
    QString result;
    bool ok;
    {
        vemo::basgui::BusyCursor busy;
        ok = m_gateway && m_gateway->tclEval(command, &result);
    }
    if (!ok)
        *error = result.isEmpty() ? tr("The command failed: %1").arg(command) : result;
    return ok;
}

bool UserRegisterWidget::readRow(int row, bool intoWr, QString* error) {
    const QString name = m_model->item(row, NameColumn)->text();
    const QString command = m_control
                                ? tclCommand(QStringLiteral("ona_run_controller -read_control \"%1\""), tclQuoted(name))
                                : tclCommand(QStringLiteral("ona_run_controller -read_status \"%1\""), tclQuoted(name));
    if (!run(command, error)) {
        *error = QStringLiteral("%1: %2").arg(name, *error);
        return false;
    }
    // The row may be gone or moved if the table was refilled meanwhile.
    row = rowOf(name);
    const QString value = ONCData::inst()->getWBData();
    if (row < 0 || value.isEmpty() || value.contains(QLatin1String("ERROR"))) {
        *error = tr("%1: the device gave no value").arg(name);
        return false;
    }
    const int width = m_model->item(row, WidthColumn)->text().toInt();
    QStandardItem* rd = m_model->item(row, RdColumn);
    rd->setText(RegisterRadix::convert(value, width, RegisterRadix::Hex, rd->data(RadixRole).toInt()));
    if (intoWr && m_control) {
        QStandardItem* wr = m_model->item(row, WrColumn);
        wr->setText(RegisterRadix::convert(value, width, RegisterRadix::Hex, wr->data(RadixRole).toInt()));
    }
    return true;
}

bool UserRegisterWidget::writeRow(int row, QString* error) {
    const QString name = m_model->item(row, NameColumn)->text();
    const QStandardItem* wr = m_model->item(row, WrColumn);
    const QString text = wr->text();
    const auto said = [&](bool ok) {
        if (!ok)
            *error = QStringLiteral("%1: %2").arg(name, *error);
        return ok;
    };
    if (text == QLatin1String("Toggle"))
        return said(
            run(tclCommand(QStringLiteral("ona_run_controller -toggle_control \"%1\""), tclQuoted(name)), error));
    // The device reads -data in the register's declared radix: a value shown
    // in another radix is rewritten so the device gets the number typed.
    QString data = text;
    const int shown = wr->data(RadixRole).toInt();
    const QString unfit = RegisterValueValidator::unfit(text, m_model->item(row, WidthColumn)->text().toInt(), shown);
    if (!unfit.isEmpty()) {
        *error = tr("%1: %2 Nothing was written.").arg(name, unfit);
        return false;
    }
    for (const RegisterEntry& e : m_data.entries) {
        if (e.name != name)
            continue;
        if (e.radix != shown)
            data = RegisterRadix::convert(text, e.width, shown, e.radix);
        break;
    }
    return said(run(tclCommand(QStringLiteral("ona_run_controller -write_control \"%1\" -data \"%2\""), tclQuoted(name),
                               tclQuoted(data)),
                    error));
}

void UserRegisterWidget::onTableItemBtnClicked(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const int row = index.row();
    if (m_model->item(row, NameColumn)->text().isEmpty())
        return;
    QString error;
    if (index.column() == RdColumn) {
        if (!readRow(row, false, &error))
            warn(error);
    } else if (index.column() == WrColumn && m_control) {
        if (m_model->item(row, WrColumn)->text().isEmpty())
            return;
        if (!writeRow(row, &error))
            warn(error);
    }
}

void UserRegisterWidget::onTableItemDblClicked(const QModelIndex& index) {
    if (!index.isValid() || index.column() != SignalsColumn)
        return;
    UserRegisterSignalDlg dialog(index, this);
    vemo::basgui::Dialogs::provider()->execDialog(&dialog);
}

void UserRegisterWidget::readAll(bool intoWr) {
    if (m_model->rowCount() == 0)
        return;
    QStringList failures;
    {
        vemo::basgui::BusyCursor busy;
        for (int row = 0; row < m_model->rowCount(); ++row) {
            if (m_model->item(row, NameColumn)->text().isEmpty())
                continue;
            QString error;
            if (!readRow(row, intoWr, &error))
                failures << error;
        }
    }
    if (!failures.isEmpty())
        warn(tr("Some registers could not be read; their values are unchanged:\n%1")
                 .arg(failures.join(QLatin1Char('\n'))));
}

void UserRegisterWidget::onReadAllBtnClicked() { readAll(false); }

void UserRegisterWidget::onDumpBtnClicked() {
    QString path = vemo::basgui::Dialogs::provider()->getSaveFileName(
        this, tr("Dump to File"), OnaData::inst()->getCurrentDirectory(), tr("%1 Files (*.txt)").arg(tableTitle()));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().toLower() != QLatin1String("txt"))
        path += QStringLiteral(".txt");
    const QString command = m_control
                                ? tclCommand(QStringLiteral("ona_run_controller -dump_control \"%1\""), tclQuoted(path))
                                : tclCommand(QStringLiteral("ona_run_controller -dump_status \"%1\""), tclQuoted(path));
    QString error;
    bool ok;
    {
        BusyProgressDialog progress(m_control ? tr("Dumping to control register file...")
                                              : tr("Dumping to status register file..."));
        ok = run(command, &error);
    }
    if (!ok)
        warn(error);
    else if (m_gateway)
        m_gateway->reportDone(tr("%1: dumped to %2").arg(tableTitle(), path));
}

} // namespace vemo::toolona
