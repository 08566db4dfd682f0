#include "job_plan.h"

#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isExistingPath(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool isSameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace

bool planJobs(const RenderOptions& options, JobPlan& plan, std::string* error) {
    if (options.output.empty()) {
        *error = options.inputs.size() > 1 ? "several inputs need an output folder: -o FOLDER"
                                           : "no output given: -o FILE (or -o FOLDER)";
        return false;
    }
    const bool several = options.inputs.size() > 1;
    const bool toFolder = several || isFolder(options.output) || options.output.back() == '/';
    std::string folder = toFolder ? options.output : folderOf(options.output);
    if (toFolder && isExistingPath(folder) && !isFolder(folder)) {
        *error = folder + ": not a folder (several inputs need an output folder)";
        return false;
    }
    if (!isFolder(folder)) {
        if (!toFolder) {
            *error = options.output + ": the folder " + folder + " does not exist";
            return false;
        }
        std::string parent = folderOf(folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder);
        if (!isFolder(parent) || access(parent.c_str(), W_OK | X_OK) != 0) {
            *error = folder + ": the output folder cannot be created there";
            return false;
        }
        plan.folderToCreate = folder;
    } else if (access(folder.c_str(), W_OK | X_OK) != 0) {
        *error = (toFolder ? folder : options.output) + ": cannot write there (permission denied)";
        return false;
    }

    std::set<std::string> outputs;
    for (const std::string& input : options.inputs) {
        RenderJob job;
        job.input = input;
        AudioReader reader;
        if (!reader.open(input, error)) return false;
        job.inputInfo = reader.info();
        if (job.inputInfo.channels > 2) {
            *error = input + ": " + std::to_string(job.inputInfo.channels) +
                     " channels; only mono and stereo files can be processed";
            return false;
        }
        job.output = toFolder ? joined(folder, baseName(input)) : options.output;
        if (!outputs.insert(job.output).second) {
            *error = job.output + ": two inputs would be written to the same output file";
            return false;
        }
        if (isSameFile(job.output, input)) {
            *error = job.output + ": the output would replace its own input";
            return false;
        }
        if (isExistingPath(job.output)) {
            if (!options.overwrite) {
                *error = job.output + ": already exists (use --overwrite to replace it)";
                return false;
            }
            if (isFolder(job.output)) {
                *error = job.output + ": is a folder";
                return false;
            }
        }
        if (!chooseOutputFormat(job.inputInfo.format, job.output, options.floatOutput, options.bits,
                                &job.outputFormat, error))
            return false;
        job.snapshotPath = options.snapshotPath;
        plan.jobs.push_back(job);
    }
    if (!options.snapshotPath.empty()) {
        if (isExistingPath(options.snapshotPath) && !options.overwrite) {
            *error = options.snapshotPath + ": already exists (use --overwrite to replace it)";
            return false;
        }
        std::string snapshotFolder = folderOf(options.snapshotPath);
        if (!isFolder(snapshotFolder) || access(snapshotFolder.c_str(), W_OK | X_OK) != 0) {
            *error = options.snapshotPath + ": cannot write there";
            return false;
        }
    }
    return true;
}
