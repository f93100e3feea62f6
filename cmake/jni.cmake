# The JNI libraries need the JDK's headers only; they never link the JVM.
# The headers come from the JDK whose javac is on the path, unless JAVA_HOME names one.
# The tests run the java of that same JDK.
find_package(Java REQUIRED COMPONENTS Development)
file(REAL_PATH ${Java_JAVAC_EXECUTABLE} javac)
cmake_path(GET javac PARENT_PATH jdk_bin)
set(HWKIT_JAVA ${jdk_bin}/java)
if(NOT DEFINED ENV{JAVA_HOME})
  cmake_path(GET jdk_bin PARENT_PATH jdk)
  set(ENV{JAVA_HOME} ${jdk})
endif()
find_package(JNI REQUIRED OPTIONAL_COMPONENTS JVM)
