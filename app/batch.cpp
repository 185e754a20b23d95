// Many recordings at once: --snapshot or --movie with an output name
// holding {name}. Each recording is drawn by a run of this program of its
// own, with the same options and that one recording, so that a recording
// that fails (or crashes its run) never stops the others, and memory stays
// bounded by the number of runs at a time.
#include "app/app.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Batch {
    std::vector<std::string> outputs; // the output name of each recording
    std::vector<int> failed;          // the recordings that failed, by index
    int finished;
};

// Two recordings whose figures would go to one file ("a/rec.txt" and
// "b/rec.txt" into figures/{name}.png, or {dir}/../{name}.png): the second
// would overwrite the first, or both would write the file at once. One
// file is one folder and name, however they are spelt. Returns the index
// of the second, or -1.
int sharedOutput(const std::vector<std::string>& names, int& other) {
    std::vector<std::string> outputs;
    for (const std::string& name : names)
        outputs.push_back(outputIdentity(name.c_str()));
    std::vector<int> order(outputs.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return outputs[a] < outputs[b] || (outputs[a] == outputs[b] && a < b);
    });
    for (size_t i = 1; i < order.size(); i++)
        if (outputs[order[i]] == outputs[order[i - 1]]) {
            other = order[i - 1];
            return order[i];
        }
    return -1;
}

// The run's message without our prefix and the recording's name (the line
// names it already), or what its end tells.
std::string failureReason(const char* lastLine, const char* recording) {
    const char* prefix = "quelvist: ";
    if (strncmp(lastLine, prefix, strlen(prefix)) == 0) lastLine += strlen(prefix);
    const std::string named = std::string(recording) + ": ";
    if (strncmp(lastLine, named.c_str(), named.size()) == 0) lastLine += named.size();
    if (*lastLine) return lastLine;
    return "it ended without a message";
}

void reportFinished(Batch& batch, const StartOptions& options, int recording, bool succeeded,
                    const char* lastLine) {
    batch.finished++;
    const int total = static_cast<int>(options.recordings.size());
    if (succeeded) {
        printf("[%d/%d] %s\n", batch.finished, total, batch.outputs[recording].c_str());
    } else {
        batch.failed.push_back(recording);
        printf("[%d/%d] failed: %s: %s\n", batch.finished, total, options.recordings[recording],
               failureReason(lastLine, options.recordings[recording]).c_str());
    }
    fflush(stdout);
}

} // namespace

int runBatch(const StartOptions& options) {
    const int total = static_cast<int>(options.recordings.size());
    Batch batch = {};
    for (const char* recording : options.recordings)
        batch.outputs.push_back(fillOutputName(
            options.moviePath ? options.moviePath : options.snapshotPath, recording));
    int other = -1;
    const int shared = sharedOutput(batch.outputs, other);
    if (shared >= 0) {
        fprintf(stderr,
                "quelvist: %s and %s would both be written to %s; add {dir} to the output name "
                "or give each recording once\n",
                options.recordings[other], options.recordings[shared],
                batch.outputs[shared].c_str());
        return 2;
    }
    // With --force a figure named after a recording of the batch
    // ("{name}" of a.txt.txt is a.txt) would be written over it.
    for (int i = 0; i < total; i++)
        for (int j = 0; j < total; j++)
            if (sameFile(batch.outputs[i].c_str(), options.recordings[j])) {
                fprintf(stderr,
                        "quelvist: the figure of %s would be written over the recording %s; "
                        "choose another output name\n",
                        options.recordings[i], options.recordings[j]);
                return 2;
            }
    char program[4096];
    if (!executablePath(program, sizeof program)) {
        fprintf(stderr, "quelvist: cannot start the runs: this program's own path is not known\n");
        return 2;
    }
    // One display for all runs, started once.
    char problem[600];
    if (!options.displayGiven &&
        !ensureDisplayForFigures(options.width, options.height, problem, sizeof problem)) {
        fprintf(stderr, "quelvist: %s\n", problem);
        return 2;
    }
    // Each run says so of its own figure, in a log nobody reads when it
    // succeeds: the batch says it once.
    char ghostscript[4096];
    if (options.snapshotPath && isVectorFigureName(options.snapshotPath) &&
        !findGhostscript(ghostscript, sizeof ghostscript)) {
        const std::string name = options.snapshotPath;
        const bool svg = name.size() > 4 && (name[name.size() - 3] | 0x20) == 's' &&
                         (name[name.size() - 2] | 0x20) == 'v' &&
                         (name[name.size() - 1] | 0x20) == 'g';
        char notice[600];
        describeFontsNotEmbedded(notice, sizeof notice, options.snapshotPath, svg);
        fprintf(stderr, "quelvist: %s\n", notice);
    }
    int jobs = options.jobs;
    if (jobs < 1) jobs = processorsAvailable();
    jobs = std::clamp(jobs, 1, total);

    // A run's arguments: the options as given, then "--" and its recording,
    // which may begin with '-'. The run fills in {name} and {dir} itself.
    std::vector<const char*> arguments = {program};
    arguments.insert(arguments.end(), options.runArguments.begin(), options.runArguments.end());
    arguments.push_back("--");
    const size_t recordingAt = arguments.size();
    arguments.push_back(nullptr);
    arguments.push_back(nullptr);

    std::vector<WorkerProcess> running;
    std::vector<int> runningRecording;
    for (int next = 0; next < total || !running.empty();) {
        if (next < total && static_cast<int>(running.size()) < jobs) {
            arguments[recordingAt] = options.recordings[next];
            WorkerProcess worker = {};
            if (startWorkerProcess(arguments.data(), worker)) {
                running.push_back(worker);
                runningRecording.push_back(next);
            } else {
                reportFinished(batch, options, next, false, "this program could not be started");
            }
            next++;
            continue;
        }
        bool succeeded = false;
        const int ended =
            waitForAnyWorker(running.data(), static_cast<int>(running.size()), succeeded);
        char lastLine[1000];
        finishWorker(running[ended], lastLine, sizeof lastLine);
        reportFinished(batch, options, runningRecording[ended], succeeded, lastLine);
        running.erase(running.begin() + ended);
        runningRecording.erase(runningRecording.begin() + ended);
    }

    const int written = total - static_cast<int>(batch.failed.size());
    if (batch.failed.empty()) {
        printf("%d written\n", written);
    } else {
        // Named in the order given, whatever order they ended in.
        std::sort(batch.failed.begin(), batch.failed.end());
        printf("%d written, %d failed: ", written, static_cast<int>(batch.failed.size()));
        for (size_t i = 0; i < batch.failed.size(); i++)
            printf("%s%s", i ? ", " : "", options.recordings[batch.failed[i]]);
        printf("\n");
    }
    fflush(stdout);
    return batch.failed.empty() ? 0 : 2;
}
