// The user's own command, once per picture; "{file}" and "{monitor}" are replaced where they
// stand as whole arguments.
#include "background/BackendFactories.h"
#include "background/ToolRun.h"

namespace gw::backends {

namespace {

    class CommandBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::PerMonitor; }
        QString apply(const ApplyRequest& request) override
        {
            if (request.command.isEmpty())
                return QStringLiteral("no command given");
            for (const Picture& p : request.pictures) {
                QStringList arguments = request.command.mid(1);
                for (QString& a : arguments) {
                    if (a == QLatin1String("{file}"))
                        a = p.file;
                    else if (a == QLatin1String("{monitor}"))
                        a = p.monitor;
                }
                const QString error = runTool(request.command.first(), arguments, request.timeoutMs).error;
                if (!error.isEmpty())
                    return error;
            }
            return {};
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> command()
{
    return std::make_unique<CommandBackend>();
}

} // namespace gw::backends
