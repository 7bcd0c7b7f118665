#!/bin/sh
# The Linux transport's tests under ThreadSanitizer (own build folder, about 5 minutes).
set -e
cd "$(dirname "$0")/../.."
B=${TSAN_BUILD:-build-tsan}
cmake -S . -B "$B" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAV_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_C_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
cmake --build "$B" -j "$(nproc)" --target devlib_linux_transport_test devlib_linux_api_test \
  devlib_linux_qdtool_test devlib_linux_descriptor_test qdtool
ctest --test-dir "$B" -R devlib_linux --output-on-failure
