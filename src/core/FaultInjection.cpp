// Only the test build of the core library has a body here; see FaultInjection.h.
#include "FaultInjection.h"

#include <cstdio>

#ifdef RAVO_FAULT_INJECTION

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace ravo::faultinjection {

namespace {

struct State {
    bool armed = false;
    Plan plan;
    int statements = 0;
    int matches = 0;
    int traceFd = -1;
};

State& state()
{
    static State s;
    return s;
}

// One line of the trace, written with a single write() so that it is on
// disk (in the page cache) before the process can end.
void trace(const QString& line)
{
    State& s = state();
    if (s.traceFd < 0)
        return;
    QString flat = line;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray bytes = flat.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(s.traceFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
}

} // namespace

void arm(const Plan& plan)
{
    disarm();
    State& s = state();
    s.plan = plan;
    s.armed = true;
    if (!plan.traceFile.isEmpty())
        s.traceFd = ::open(QFile::encodeName(plan.traceFile).constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
}

void disarm()
{
    State& s = state();
    if (s.traceFd >= 0)
        ::close(s.traceFd);
    s = State();
}

void endNow()
{
    static const char said[] = "RAVO fault injection: the process ends here\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, said, sizeof said - 1);
    ::_exit(ExitStatus);
}

void statementRan(const QString& sql)
{
    State& s = state();
    if (!s.armed)
        return;
    ++s.statements;
    trace(QString::number(s.statements) + QLatin1Char('\t') + sql);
    const bool chosen = (s.plan.afterStatement > 0 && s.statements == s.plan.afterStatement)
        || (!s.plan.afterStatementContaining.isEmpty() && sql.contains(s.plan.afterStatementContaining)
            && ++s.matches == s.plan.occurrence);
    if (!chosen)
        return;
    if (!s.plan.pauseInstead)
        endNow();
    std::fputs("paused\n", stdout);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin))
        endNow();
}

void reached(const char* point)
{
    State& s = state();
    if (!s.armed)
        return;
    const QString name = QString::fromLatin1(point);
    trace(QLatin1Char('@') + name);
    if (!s.plan.atPoint.isEmpty() && s.plan.atPoint == name)
        endNow();
}

} // namespace ravo::faultinjection

#endif
