#include "shell/headlesshost.h"

#include "service/alerts.h"
#include "service/serviceevents.h"

#include <QCoreApplication>
#include <cstdio>

namespace vell {

void HeadlessHost::yieldToInterface(int times)
{
    if (ServiceEvents::stopPending() && !m_endStatus)
        requestEnd(0);
    m_pump.pump(times);
}

void HeadlessHost::setStatusText(const QString &text)
{
    if (text.isEmpty())
        return;
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void HeadlessHost::showNotice(const QString &text)
{
    std::fprintf(stderr, "Vell: %s\n", text.toLocal8Bit().constData());
}

void HeadlessHost::endProgram(int exitStatus)
{
    m_endStatus = exitStatus;
    QCoreApplication::exit(exitStatus);
}

void HeadlessHost::requestEnd(int exitStatus)
{
    if (m_state)
        m_state->MirroringOff = true;
    endProgram(exitStatus);
}

void HeadlessHost::runAlertCommand(const QStringList &argv)
{
    (void)StartAlertCommand(m_runner, argv); // an alert that cannot start is not reported
}

void HeadlessHost::logEvent(const QString &text, int type)
{
    m_eventLog.write(text, type);
}

} // namespace vell
