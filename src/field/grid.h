// grid: the one storage type for every nx-by-ny array of the program
// (field arrays and masks alike). One contiguous block, addressed [i][j]
// with i along the tunnel and j across it; j is contiguous, so loops that
// run j innermost walk memory in order.
#pragma once

#include <cstddef>
#include <vector>

namespace veltaro {

template <typename T>
class grid {
public:
    grid() = default;
    grid(int nx, int ny, T value = T{})
        : nx_(nx),
          ny_(ny),
          cells_(
              static_cast<std::size_t>(nx > 0 ? nx : 0) * static_cast<std::size_t>(ny > 0 ? ny : 0),
              value) {}

    [[nodiscard]] int nx() const { return nx_; }
    [[nodiscard]] int ny() const { return ny_; }
    [[nodiscard]] std::size_t size() const { return cells_.size(); }

    T* operator[](int i) { return cells_.data() + static_cast<std::size_t>(i) * ny_; }
    const T* operator[](int i) const { return cells_.data() + static_cast<std::size_t>(i) * ny_; }

    T* data() { return cells_.data(); }
    const T* data() const { return cells_.data(); }

    void fill(T value) { cells_.assign(cells_.size(), value); }

    bool operator==(const grid&) const = default;

private:
    int nx_ = 0;
    int ny_ = 0;
    std::vector<T> cells_;
};

using float_grid = grid<float>;
using int_grid = grid<int>;

}  // namespace veltaro
