// The one way the routines share work out on threads (OpenMP): jobs 0 .. count - 1 on up to
// `threads` threads, each thread with its own scratch State. An exception must not leave an
// OpenMP region, so the first one a job throws is kept and thrown again on the calling thread
// once every job has ended.
#pragma once

#include <cstddef>
#include <exception>

namespace voxa::algo {

template <class State, class Job>
void ParallelFor(ptrdiff_t count, unsigned threads, const Job& job) {
  std::exception_ptr failure;
#pragma omp parallel num_threads(threads > 0 ? threads : 1)
  {
    State state{};
#pragma omp for schedule(static)
    for (ptrdiff_t k = 0; k < count; ++k) {
      try {
        job(k, state);
      } catch (...) {
#pragma omp critical(voxa_parallel_failure)
        if (!failure) failure = std::current_exception();
      }
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// Jobs of unequal sizes, handed out one at a time as threads come free; one thread runs them in
// order without starting a parallel region.
template <class Job>
void ParallelJobs(ptrdiff_t count, unsigned threads, const Job& job) {
  if (threads <= 1) {
    for (ptrdiff_t k = 0; k < count; ++k) job(k);
    return;
  }
  std::exception_ptr failure;
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
  for (ptrdiff_t k = 0; k < count; ++k) {
    try {
      job(k);
    } catch (...) {
#pragma omp critical(voxa_parallel_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// Jobs that need no scratch of their own.
struct NoState {};

}  // namespace voxa::algo
