#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vemo::toolona {

class HexValueLineEdit;
class OnaPathItemEditor;
class ToolGateway;

// The address space a memory form works on: the controller core's user
// memory, or the window of one hard IP block. The form's verbs are the same
// for both; what differs is said here.
struct MemorySpace {
    // The hard IP block whose window this is (empty: the user memory);
    // Dump and Load name it.
    QString hardIp;
    // A Default Data row with Initialize (fills the whole memory).
    bool canInitialize = false;
    // The PLL's reminder, below Write, that its shadow register must be
    // asserted after a write.
    bool shadowRegisterNote = false;
    // Typed paths must not start with a blank (the file dialog's never do).
    bool checkTypedPaths = false;
    // The gaps between the groups of rows stretch (a page of its own) or
    // stay narrow (inside a panel with more rows).
    bool stretchingGaps = false;
    // The warning for Dump without a file name.
    QString emptyDumpName;
    // Runs before Dump and Load (the user memory hands its geometry to the
    // engine first); null: nothing.
    std::function<void()> beforeTransfer;
};

// A widget holding one memory form: write and read a word, dump the space
// to a memory file and load one (and, for the user memory, fill it).
// Derived widgets lay the form into their own grid with addMemoryForm.
class MemoryFormWidget : public QWidget {
    Q_OBJECT
public:
    HexValueLineEdit* defaultDataEdit() const { return m_defaultData; }
    HexValueLineEdit* writeAddressEdit() const { return m_writeAddress; }
    HexValueLineEdit* writeDataEdit() const { return m_writeData; }
    HexValueLineEdit* readAddressEdit() const { return m_readAddress; }
    QLineEdit* readDataEdit() const { return m_readData; }
    HexValueLineEdit* offsetEdit() const { return m_offset; }
    QLineEdit* rangeEdit() const { return m_range; }
    OnaPathItemEditor* dumpPathEditor() const { return m_dumpPath; }
    OnaPathItemEditor* loadPathEditor() const { return m_loadPath; }
    QPushButton* initButton() const { return m_init; }
    QPushButton* readButton() const { return m_read; }
    QPushButton* writeButton() const { return m_write; }
    QPushButton* dumpButton() const { return m_dump; }
    QPushButton* loadButton() const { return m_load; }
    // The shadow register reminder (null: the space has none).
    QLabel* noteLabel() const { return m_note; }

public slots:
    void handleInitButtonClicked();
    void handleReadButtonClicked();
    void handleWriteButtonClicked();
    void handleDumpButtonClicked();
    void handleLoadButtonClicked();
    void onDumpMemLineEditTextChanged(const QString& text);
    void onLoadMemLineEditTextChanged(const QString& text);

protected:
    MemoryFormWidget(ToolGateway* gateway, QWidget* parent);
    // The form's rows into `grid` from `row` on (advanced past them), its
    // fields children of `parent`, working on `space`.
    void addMemoryForm(QGridLayout* grid, QWidget* parent, int& row, const MemorySpace& space);
    // Both address fields show `address` (the "0x" is the field's own).
    void setStartAddress(const QString& address);
    bool hasMemoryForm() const { return m_write != nullptr; }
    void warn(const QString& text);
    // The width of a data word (Default Data, Write Data); 32 until set.
    void setDataBits(int bits);

private:
    // "User memory" or the hard IP block the form belongs to.
    QString spaceName() const;
    // Marks `edit` while its digits do not fit `*bits` bits.
    void guardWidth(HexValueLineEdit* edit, const int* bits, const QString& what);
    // Says the first marked field among `edits` and gives true.
    bool refuseUnfit(std::initializer_list<QLineEdit*> edits);

    ToolGateway* m_formGateway;
    int m_dataBits = 32;
    MemorySpace m_space;
    HexValueLineEdit* m_defaultData = nullptr;
    HexValueLineEdit* m_writeAddress = nullptr;
    HexValueLineEdit* m_writeData = nullptr;
    HexValueLineEdit* m_readAddress = nullptr;
    QLineEdit* m_readData = nullptr;
    HexValueLineEdit* m_offset = nullptr;
    QLineEdit* m_range = nullptr;
    OnaPathItemEditor* m_dumpPath = nullptr;
    OnaPathItemEditor* m_loadPath = nullptr;
    QPushButton* m_init = nullptr;
    QPushButton* m_read = nullptr;
    QPushButton* m_write = nullptr;
    QPushButton* m_dump = nullptr;
    QPushButton* m_load = nullptr;
    QLabel* m_note = nullptr;
};

} // namespace vemo::toolona
