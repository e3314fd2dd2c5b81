#include "MonitorFaultPlan.h"

#include "MonitorFrame.h"

bool MonitorFaultPlan::CommandForKind(const QString &kind, std::uint16_t &cmd)
{
    static const struct
    {
        const char *name;
        std::uint16_t cmd;
    } kinds[] = {{"type", MonitorFrame::CMD_DEVICE_TYPE},
                 {"sn", MonitorFrame::CMD_DEVICE_SN},
                 {"list", MonitorFrame::CMD_PATIENT_ID_LIST},
                 {"uuid", MonitorFrame::CMD_PATIENT_UUID},
                 {"nibp", MonitorFrame::CMD_NIBP},
                 {"spo2", MonitorFrame::CMD_SPO2},
                 {"temp", MonitorFrame::CMD_TEMP}};
    for (const auto &entry : kinds) {
        if (kind == QLatin1String(entry.name)) {
            cmd = entry.cmd;
            return true;
        }
    }
    return false;
}

bool MonitorFaultPlan::AddRule(MonitorFault fault, const QString &selector, QString *error)
{
    MonitorFaultRule rule;
    rule.fault = fault;
    const QStringList counted = selector.split(QLatin1Char('*'));
    if (counted.size() == 2) {
        bool ok = false;
        rule.remaining = counted.at(1).toInt(&ok);
        if (!ok || rule.remaining < 1) {
            *error = QStringLiteral("bad count in \"%1\"").arg(selector);
            return false;
        }
    }
    const QStringList parts = counted.at(0).split(QLatin1Char(':'));
    if (counted.size() > 2 || parts.size() > 2 || !CommandForKind(parts.at(0), rule.cmd)) {
        *error = QStringLiteral("bad request selector \"%1\"").arg(selector);
        return false;
    }
    if (parts.size() == 2) {
        bool ok = false;
        rule.patientId = parts.at(1).toInt(&ok);
        if (!ok) {
            *error = QStringLiteral("bad patient id in \"%1\"").arg(selector);
            return false;
        }
        rule.anyPatient = false;
    }
    rules.append(rule);
    return true;
}

bool MonitorFaultPlan::TakeFault(std::uint16_t cmd, int patientId, MonitorFault &fault)
{
    for (MonitorFaultRule &rule : rules) {
        if (rule.remaining <= 0 || rule.cmd != cmd)
            continue;
        if (!rule.anyPatient && rule.patientId != patientId)
            continue;
        --rule.remaining;
        fault = rule.fault;
        return true;
    }
    return false;
}
