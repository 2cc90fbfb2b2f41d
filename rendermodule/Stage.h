// A step of the render's pipeline (reading the next picture, writing the
// last frame) on a thread of its own, one job at a time: the caller starts a
// job and later waits for its result, so that at most one job is in flight
// and memory stays bounded. What the work throws is rethrown to the caller.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace maculo {

template <typename Job, typename Result>
class Stage {
public:
    explicit Stage(std::function<Result(const Job&)> work) : work_(std::move(work)), thread_([this] { Serve(); }) {}
    // Lets the job under way end, then joins the thread: nothing outlives the stage.
    ~Stage() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Whether a job was started and its result not yet taken.
    bool Busy() const { return busy_; }

    // Hands the stage a job; the one before must have been finished.
    void Start(Job job) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            job_ = std::move(job);
        }
        busy_ = true;
        changed_.notify_all();
    }

    // Waits for the job's result, or rethrows what the work threw.
    Result Finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return result_ || error_; });
        busy_ = false;
        if (const std::exception_ptr error = std::exchange(error_, nullptr)) std::rethrow_exception(error);
        Result result = std::move(*result_);
        result_.reset();
        return result;
    }

private:
    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return job_ || closing_; });
            if (closing_) return;  // a job not yet begun is dropped
            const Job job = std::move(*job_);
            job_.reset();
            lock.unlock();
            std::optional<Result> result;
            std::exception_ptr error;
            try {
                result.emplace(work_(job));
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            result_ = std::move(result);
            error_ = error;
            changed_.notify_all();
        }
    }

    std::function<Result(const Job&)> work_;
    bool busy_ = false;  // the caller's own record
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Job> job_;
    std::optional<Result> result_;
    std::exception_ptr error_;
    bool closing_ = false;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace maculo
