// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture_job.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <utility>

namespace postori {

CaptureJob::CaptureJob(CaptureRequest request)
    : request_(std::move(request)), wake_fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CaptureJob::~CaptureJob() {
    if (wake_fd_ >= 0) {
        ::close(wake_fd_);
    }
}

const CaptureResult& CaptureJob::result() const {
    static const CaptureResult nothing;
    return phase_.load(std::memory_order_acquire) == Phase::Captured ? result_ : nothing;
}

bool CaptureJob::store_result(CaptureResult result) {
    Phase expected = Phase::Running;
    if (!phase_.compare_exchange_strong(expected, Phase::Storing)) {
        return false;
    }
    result_ = std::move(result);
    phase_.store(Phase::Captured, std::memory_order_release);
    return true;
}

bool CaptureJob::cancel() {
    Phase expected = Phase::Running;
    const bool stopped = phase_.compare_exchange_strong(expected, Phase::Cancelled);
    if (stopped && wake_fd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
    }
    return stopped || expected == Phase::Cancelled;
}

bool CaptureJob::cancelled() const {
    return phase_.load() == Phase::Cancelled;
}

void CaptureJob::publish_listening(int socket, std::int32_t port) {
    listen_socket_.store(socket);
    listening_port_.store(port);
}

void CaptureJob::publish_closed() {
    listen_socket_.store(-1);
}

void CaptureJob::publish_setup_error(int error) {
    setup_error_.store(error);
}

}  // namespace postori
