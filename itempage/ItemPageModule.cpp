#include "itempage/ItemPageModule.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QOpenGLContext>
#include <QStringList>
#include <cstdio>

// Qt's own setter of the context every OpenGL context of the program shares its resources
// with; exported, but not in a public header (the web engine calls it too).
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace pelimo {
namespace {

struct ModuleState {
    bool tried = false;
    MakeItemPageEngine make = nullptr;
    QString path;
};

ModuleState& moduleState()
{
    static ModuleState state;
    return state;
}

QStringList moduleCandidates()
{
    const ModuleState& state = moduleState();
    if (!state.path.isEmpty())
        return {state.path};
    const QString folder = QCoreApplication::applicationDirPath();
    return {folder + QStringLiteral("/" PELIMO_ITEMPAGE_MODULE_NAME),
            folder + QStringLiteral("/../" PELIMO_ITEMPAGE_MODULE_DIR "/" PELIMO_ITEMPAGE_MODULE_NAME)};
}

QOpenGLContext* sharedContext = nullptr;

void deleteSharedContext()
{
    delete sharedContext;
    sharedContext = nullptr;
}

// The web engine draws through OpenGL and shares its textures with the window through Qt's
// global share context. Linked into the program, it makes that context as the application
// starts (as Qt::AA_ShareOpenGLContexts does), loading the OpenGL driver long before a page is
// wanted. Loaded later, it expects the context to be there already (without it the engine
// crashes); it is made here, just before.
void prepareSharedContext()
{
    if (QOpenGLContext::globalShareContext() != nullptr)
        return;
    sharedContext = new QOpenGLContext;
    sharedContext->create();
    qt_gl_set_global_share_context(sharedContext);
    qAddPostRoutine(deleteSharedContext);
}

MakeItemPageEngine loadModule()
{
    ModuleState& state = moduleState();
    if (state.tried)
        return state.make;
    state.tried = true;
    prepareSharedContext();
    QStringList failures;
    for (const QString& path : moduleCandidates()) {
        // Never unloaded: the engine's threads and helper processes stay until the program ends.
        QLibrary module(path);
        if (auto make = reinterpret_cast<MakeItemPageEngine>(module.resolve(kMakeItemPageEngineSymbol))) {
            state.make = make;
            return make;
        }
        failures << module.errorString();
    }
    std::fprintf(stderr, "pelimo: item pages cannot be shown, the web engine module did not load: %s\n",
                 qPrintable(failures.join(QStringLiteral("; "))));
    return nullptr;
}

} // namespace

ItemPageEngine* makeItemPageEngine(QWidget* parent, ItemPageEngine::Handlers handlers)
{
    const MakeItemPageEngine make = loadModule();
    return make != nullptr ? make(parent, std::move(handlers)) : nullptr;
}

bool isItemPageModuleLoaded()
{
    return moduleState().make != nullptr;
}

void setItemPageModulePath(std::string path)
{
    moduleState().path = QString::fromStdString(path);
}

} // namespace pelimo
