#include "tests/support/PictureServer.h"

#include <httplib.h>

namespace pelimo::test {

using namespace std::chrono_literals;

PictureServer::PictureServer()
    : defaultBody([](const std::string& name) { return "picture " + name + std::string(400, '.'); }),
      server(std::make_unique<httplib::Server>())
{
    server->new_task_queue = [] {
        return new httplib::ThreadPool(16);
    };
    server->set_keep_alive_timeout(1);
    server->Get(R"(/img/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches[1];
        Answer answer;
        {
            std::unique_lock lock(mutex);
            names.push_back(name);
            most = std::max(most, ++atOnce);
            if (holding) {
                ++held;
                changed.notify_all();
                changed.wait_for(lock, 60s, [this] { return !holding; });
                --held;
            }
            --atOnce;
            const auto found = answers.find(name);
            answer = found != answers.end() ? found->second : Answer{200, defaultBody(name), false};
        }
        response.status = answer.status;
        if (!answer.streamed) {
            response.set_content(answer.body, "image/png");
            return;
        }
        auto body = std::make_shared<std::string>(std::move(answer.body));
        response.set_chunked_content_provider("image/png", [body](size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
                sink.done();
                return true;
            }
            const size_t piece = std::min<size_t>(64 * 1024, body->size() - offset);
            return sink.write(body->data() + offset, piece);
        });
    });
    portNumber = server->bind_to_any_port("127.0.0.1");
    if (portNumber <= 0) {
        portNumber = 0;
        return;
    }
    // The socket listens from the bind on; clients that come early wait in its backlog.
    thread = std::thread([this] { server->listen_after_bind(); });
}

PictureServer::~PictureServer()
{
    release();
    server->stop();
    if (thread.joinable())
        thread.join();
}

std::string PictureServer::url(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(portNumber) + "/img/" + name;
}

void PictureServer::setBody(Body body)
{
    const std::lock_guard lock(mutex);
    defaultBody = std::move(body);
}

void PictureServer::answer(const std::string& name, int status, std::string body, bool streamed)
{
    const std::lock_guard lock(mutex);
    answers[name] = Answer{status, std::move(body), streamed};
}

void PictureServer::hold()
{
    const std::lock_guard lock(mutex);
    holding = true;
}

void PictureServer::release()
{
    const std::lock_guard lock(mutex);
    holding = false;
    changed.notify_all();
}

std::vector<std::string> PictureServer::requests()
{
    const std::lock_guard lock(mutex);
    return names;
}

size_t PictureServer::mostAtOnce()
{
    const std::lock_guard lock(mutex);
    return most;
}

bool PictureServer::waitForHeld(size_t count, std::chrono::milliseconds bound)
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, bound, [&] { return held >= count; });
}

} // namespace pelimo::test
