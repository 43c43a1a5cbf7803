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

// Jobs that need no scratch of their own.
struct NoState {};

}  // namespace voxa::algo
