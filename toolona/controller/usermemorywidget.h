#pragma once

#include "controllerrecords.h"

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace vemo::toolona {

class HexValueLineEdit;
class OnaPathItemEditor;
class ToolGateway;

// The user memory form: fill, write and read words, dump the memory to a
// memory file and load one.
class UserMemoryWidget : public QWidget {
    Q_OBJECT
public:
    explicit UserMemoryWidget(ToolGateway* gateway, QWidget* parent = nullptr);

    void setData(const UserRegisterData& data);
    const UserRegisterData& data() const { return m_data; }
    QSize sizeHint() const override { return {626, 320}; }

    QGroupBox* groupBox() const { return m_group; }
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

public slots:
    void handleInitButtonClicked();
    void handleReadButtonClicked();
    void handleWriteButtonClicked();
    void handleDumpButtonClicked();
    void handleLoadButtonClicked();
    void onDumpMemLineEditTextChanged(const QString& text);
    void onLoadMemLineEditTextChanged(const QString& text);

private:
    void warn(const QString& text);
    void copyMemoryParameters();

    ToolGateway* m_gateway;
    UserRegisterData m_data;
    QGroupBox* m_group = nullptr;
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
};

} // namespace vemo::toolona
