#include "playback.h"

std::string refusal(const std::string& name, readresult got, const std::string& err) {
  if (got == readresult::failed) return "cannot read " + name + ": " + err;
  return name.empty() ? err : name + ": " + err;
}

std::string noseed(const std::string& name) {
  // Only a program's argument can be played with a seed of the player's.
  if (name.empty()) return "no seed: not a recording";
  return name + ": no seed: not a recording (give --seed N to play a trace)";
}

std::string readwhole(tracesource& in, const std::string& name, bool seedgiven, recordingsummary& out,
                      const std::function<void(std::vector<inputevent>&)>& onframe) {
  tracereader r(in);
  traceline t;
  std::string err;
  out = {};
  readresult got = readtrace(r, t, err);
  if (got == readresult::failed) return refusal(name, got, err);
  out.recording = r.at.recording;
  if (!seedgiven && !out.recording) return noseed(name);
  for (; got == readresult::line; got = readtrace(r, t, err)) {
    if (t.type == traceline::isseed) out.haveseed = true, out.seed = t.seed;
    if (t.type == traceline::isend) out.endstate = t.state;
    if (t.type != traceline::isframe) continue;
    out.frames++;
    if (onframe) onframe(t.evs);
  }
  if (got != readresult::end) return refusal(name, got, err);
  if (out.frames == 0) return name.empty() ? "no frames to play" : name + ": no frames to play";
  return "";
}

ending compareend(const std::string& endstate, const std::string& lastline) {
  if (endstate.empty()) return ending::noendline;
  return endstate == lastline ? ending::matches : ending::differs;
}

std::string verdict(long frames, ending e) {
  const std::string played = "played " + std::to_string(frames) + " frames; ";
  switch (e) {
  case ending::matches: return played + "the last matches the end line";
  case ending::differs: return played + "the last differs from the end line";
  default: return played + "the recording has no end line";
  }
}

std::string lastframeverdict(const std::string& name, ending e, const std::string& recorded,
                             const std::string& replayed) {
  if (e == ending::matches) return name + ": the last frame matches the end line\n";
  return name + ": the last frame differs from the end line\n  recorded: " + recorded +
         "  replayed: " + (replayed.empty() ? "(no frame)\n" : replayed);
}
