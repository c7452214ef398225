# The Debian packages that building, testing and running zervan need, and a
# function that installs those missing (with their recommended packages,
# as the tests were run with them). Sourced by test.sh and run.sh.

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libpugixml-dev libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-private-dev qt6-declarative-dev qt6-declarative-private-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-window
  qml6-module-qtquick-templates qml6-module-qtquick-layouts qml6-module-qtqml-workerscript
  qml6-module-qtquick-dialogs qml6-module-qt-labs-folderlistmodel
  libbackward-cpp-dev libdw-dev libgl-dev fontconfig fonts-dejavu-core
  qt6-quick3d-dev qt6-shadertools-dev qml6-module-quick3d qml6-module-quick3d-helpers
  xvfb xauth libgl1-mesa-dri
  # The cell library: kinematics (chains, numerical inverse kinematics),
  # CAD (STEP, IGES, B-rep; OpenCASCADE's CMake package wants its
  # visualisation and application-framework parts and TBB installed too)
  # and meshes.
  liborocos-kdl-dev libeigen3-dev
  libocct-data-exchange-dev libocct-modeling-algorithms-dev libocct-visualization-dev libocct-ocaf-dev libtbb-dev
  libassimp-dev
  # Collision and distance queries of the motion simulation.
  libfcl-dev
)

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
  fi
}
