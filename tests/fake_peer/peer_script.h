#pragma once
// What the fake `codex app-server` does, read from the JSON file named by FAKE_CODEX_SCRIPT.
//
// Every member is optional:
//   "log": path              every line received is appended, after a "#launch <pid>" line per start
//   "ignoreSigterm": bool    SIGTERM is ignored (only SIGKILL ends the fake)
//   "grandchild": bool       a sleeping child in the same process group, like the npm launcher's
//   "atStart": steps         before anything is read
//   "initialize": answer     default: the real peer's result
//   "afterInitialized": steps  when the "initialized" notification arrives
//   "account/rateLimits/read", "account/usage/read": [answer, ...]
//                            the n-th request gets the n-th answer, the last one repeats;
//                            default: realistic results
// An answer is one step, a list of steps, "silent", or "default" (the realistic result). Steps:
//   {"result": value}                  {"id":<id>,"result":value}
//   {"error": {"code":c,"message":m}}  {"error":...,"id":<id>}, id last as the real peer does
//   {"notify": method, "params": v}    a notification with "emittedAtMs"
//   {"raw": text, "newline": bool}     text as is, "$ID" replaced by the request id; newline default true
//   {"flood": bytes, "line": text}     copies of text + "\n" to stdout, about `bytes` in all
//   {"floodUnterminated": bytes}       that many "x" without a line feed
//   {"floodStderr": bytes}             junk on standard error
//   {"sleepMs": n}
//   {"closeStdin": true}               later writes of the client fail; the fake exits after the answer
//   {"exit": status}
#include <string>

#include <nlohmann/json.hpp>

namespace fake_codex {

using Json = nlohmann::json;

class PeerScript {
public:
    // An empty script when the variable is unset; throws when the file is unreadable or not JSON.
    static PeerScript fromEnvironment();

    std::string logPath() const;
    bool ignoreSigterm() const;
    bool grandchild() const;
    Json atStart() const;
    Json afterInitialized() const;
    Json initializeAnswer() const;
    // Steps for the `index`-th request (from 0) of a read method.
    Json readAnswer(const std::string& method, std::size_t index) const;

private:
    explicit PeerScript(Json script) : script_(std::move(script)) {}
    Json script_;
};

// "silent", "default", a single step or a list of steps, as a list of steps.
Json asSteps(const Json& answer, const Json& defaultAnswer);

}  // namespace fake_codex
