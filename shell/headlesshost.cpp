#include "shell/headlesshost.h"

#include "base/language.h"
#include "service/alerts.h"

#include <QCoreApplication>
#include <cstdio>

namespace vell {

void HeadlessHost::yieldToInterface(int times)
{
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

void HeadlessHost::runAlertCommand(const QStringList &argv)
{
    const ServiceOutcome started = StartAlertCommand(m_runner, argv);
    if (started.ok)
        return;
    const Trilingual text{"la commande d'alerte n'a pas pu être lancée", "the alert command could not be started",
                          "o comando de alerta não pôde ser lançado"};
    std::fprintf(stderr, "Vell: %s (%s)\n", text.in(m_settings ? m_settings->Langue : 0).toLocal8Bit().constData(),
                 started.message.toLocal8Bit().constData());
}

void HeadlessHost::logEvent(const QString &text, int type)
{
    m_eventLog.write(text, type);
}

void HeadlessHost::reportFailure(const ItemEvent &, const QString &text)
{
    std::fprintf(stderr, "Vell: %s\n", text.toLocal8Bit().constData());
    m_eventLog.write(text, 2); // a warning: the item is tried again at the next run
}

void HeadlessHost::noteWatching(const QString &text)
{
    std::fprintf(stderr, "Vell: %s\n", text.toLocal8Bit().constData());
    m_eventLog.write(text, EventType::Information); // runs stay correct, only slower
}

} // namespace vell
