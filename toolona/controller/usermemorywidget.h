#pragma once

#include "controller/memoryform.h"

#include "controllerrecords.h"

class QGroupBox;

namespace vemo::toolona {

// The user memory form: fill, write and read words, dump the memory to a
// memory file and load one.
class UserMemoryWidget : public MemoryFormWidget {
    Q_OBJECT
public:
    explicit UserMemoryWidget(ToolGateway* gateway, QWidget* parent = nullptr);

    void setData(const UserRegisterData& data);
    const UserRegisterData& data() const { return m_data; }
    QSize sizeHint() const override { return {626, 320}; }

    QGroupBox* groupBox() const { return m_group; }

private:
    UserRegisterData m_data;
    QGroupBox* m_group = nullptr;
};

} // namespace vemo::toolona
