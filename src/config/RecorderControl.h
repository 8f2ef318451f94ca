#pragma once

#include "sampling/InterfaceTable.h"
#include "store/Recorder.h"

#include <QStringList>

#include <vector>

// The recorder as the configuration window uses it; tests may hand the window a fake.
class RecorderControl
{
public:
    virtual ~RecorderControl() = default;
    virtual void setBaselines(const InterfaceTable& table, const std::vector<bool>& checked) = 0;
    virtual void interfaceChecked(int position) = 0;
    virtual void RecordCycle(const QStringList& names, const std::vector<bool>& checked) = 0;
};

class RecorderAdapter final : public RecorderControl
{
public:
    explicit RecorderAdapter(Recorder& recorder) : m_recorder(recorder) {}
    void setBaselines(const InterfaceTable& table, const std::vector<bool>& checked) override
    {
        m_recorder.setBaselines(table, checked);
    }
    void interfaceChecked(int position) override { m_recorder.interfaceChecked(position); }
    void RecordCycle(const QStringList& names, const std::vector<bool>& checked) override
    {
        m_recorder.RecordCycle(names, checked);
    }

private:
    Recorder& m_recorder;
};
