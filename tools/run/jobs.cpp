// Jobs: runs spread over processes forked after the start-up load, each
// child sending its reports down a pipe that the caller reads in run order,
// so the output is the same whatever the number of processes.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "run/runner.h"

namespace {

bool write_all(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool read_all(int fd, char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = read(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// A report on a pipe: its length, then its bytes.
bool send_report(int fd, const SeedReport& report) {
  const std::string bytes = write_report(report);
  const std::uint64_t size = bytes.size();
  return write_all(fd, reinterpret_cast<const char*>(&size), sizeof size) &&
         write_all(fd, bytes.data(), bytes.size());
}

bool receive_report(int fd, SeedReport* report) {
  std::uint64_t size = 0;
  if (!read_all(fd, reinterpret_cast<char*>(&size), sizeof size)) return false;
  if (size > (std::uint64_t{1} << 32)) return false;
  std::string bytes(size, '\0');
  return read_all(fd, bytes.data(), bytes.size()) && read_report(bytes, report);
}

void write_numbers(std::ostringstream& out, const std::vector<int>& numbers) {
  out << numbers.size();
  for (int n : numbers) out << ' ' << n;
  out << '\n';
}

bool read_numbers(std::istringstream& in, std::vector<int>* numbers) {
  std::size_t count = 0;
  if (!(in >> count) || count > (1u << 24)) return false;
  numbers->assign(count, 0);
  for (int& n : *numbers)
    if (!(in >> n)) return false;
  return true;
}

struct Child {
  pid_t pid = -1;
  int from = -1;  // the read end of its pipe
};

void end_children(std::vector<Child>& children, bool kill_them) {
  for (Child& c : children) {
    if (c.from >= 0) close(c.from);
    if (c.pid > 0) {
      if (kill_them) kill(c.pid, SIGKILL);
      int status = 0;
      while (waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  children.clear();
}

}  // namespace

std::string write_report(const SeedReport& report) {
  const RunResult& r = report.result;
  std::ostringstream out;
  out << "report " << r.seed << ' ' << static_cast<int>(r.outcome) << ' ' << r.tick << ' '
      << r.score << ' ' << r.spawned << ' ' << r.destroyed << ' ' << r.hits_taken << ' ' << r.energy
      << ' ' << r.boss_tick << ' ' << r.midboss_tick << ' ' << r.midboss_ticks << ' ' << r.level
      << ' ' << r.hash << ' ' << r.difficulty << '\n';
  write_numbers(out, r.hits_by_stretch);
  write_numbers(out, r.hit_ticks);
  write_numbers(out, r.enemies_by_second);
  write_numbers(out, r.enemy_bullets_by_second);
  write_numbers(out, r.power_by_second);
  std::vector<int> items(r.items_dropped.begin(), r.items_dropped.end());
  items.insert(items.end(), r.items_taken.begin(), r.items_taken.end());
  write_numbers(out, items);
  std::vector<int> by_type(r.score_by_type.begin(), r.score_by_type.end());
  by_type.insert(by_type.end(), r.outside_from.begin(), r.outside_from.end());
  by_type.insert(by_type.end(), r.rammed_from.begin(), r.rammed_from.end());
  write_numbers(out, by_type);
  std::vector<int> tally{r.max_multiplier, r.hits_ignored, r.bombs_used};
  for (const RunResult::Cleared& c : r.tally)
    tally.insert(tally.end(), {c.tally.destroyed, c.tally.appeared, c.tally.hits, c.tally.max_chain,
                               c.tally.bombs, c.bonus});
  write_numbers(out, tally);
  out << report.text.size() << '\n' << report.text;
  return out.str();
}

bool read_report(std::string_view bytes, SeedReport* report) {
  std::istringstream in{std::string(bytes)};
  RunResult r;
  std::string head;
  int outcome = -1;
  if (!(in >> head >> r.seed >> outcome >> r.tick >> r.score >> r.spawned >> r.destroyed >>
        r.hits_taken >> r.energy >> r.boss_tick >> r.midboss_tick >> r.midboss_ticks >> r.level >>
        r.hash >> r.difficulty) ||
      head != "report" || outcome < 0 || outcome > static_cast<int>(Outcome::time))
    return false;
  r.outcome = static_cast<Outcome>(outcome);
  if (!read_numbers(in, &r.hits_by_stretch) || !read_numbers(in, &r.hit_ticks) ||
      !read_numbers(in, &r.enemies_by_second) || !read_numbers(in, &r.enemy_bullets_by_second) ||
      !read_numbers(in, &r.power_by_second))
    return false;
  // The items dropped by kind, then those taken.
  std::vector<int> items;
  if (!read_numbers(in, &items) || items.size() != 2 * ITEM_KINDS) return false;
  std::copy(items.begin(), items.begin() + ITEM_KINDS, r.items_dropped.begin());
  std::copy(items.begin() + ITEM_KINDS, items.end(), r.items_taken.begin());
  // The score by type, when each first stayed outside and when each first rammed riding its
  // own aimed bullets, then the multiplier, the touches ignored, the bombs used and six figures
  // per cleared level.
  constexpr std::size_t head_size = 3;
  constexpr std::size_t per_level = 6;
  std::vector<int> by_type;
  std::vector<int> tally;
  if (!read_numbers(in, &by_type) || by_type.size() != 3 * r.score_by_type.size() ||
      !read_numbers(in, &tally) || tally.size() < head_size ||
      (tally.size() - head_size) % per_level != 0)
    return false;
  std::copy(by_type.begin(), by_type.begin() + MAX_ENEMY_TYPES, r.score_by_type.begin());
  std::copy(by_type.begin() + MAX_ENEMY_TYPES, by_type.begin() + 2 * MAX_ENEMY_TYPES,
            r.outside_from.begin());
  std::copy(by_type.begin() + 2 * MAX_ENEMY_TYPES, by_type.end(), r.rammed_from.begin());
  r.max_multiplier = tally[0];
  r.hits_ignored = tally[1];
  r.bombs_used = tally[2];
  for (std::size_t i = head_size; i < tally.size(); i += per_level) {
    RunResult::Cleared& c = r.tally.emplace_back();
    c.tally.destroyed = tally[i];
    c.tally.appeared = tally[i + 1];
    c.tally.hits = tally[i + 2];
    c.tally.max_chain = tally[i + 3];
    c.tally.bombs = tally[i + 4];
    c.bonus = tally[i + 5];
  }
  std::size_t size = 0;
  if (!(in >> size) || in.get() != '\n') return false;
  const std::size_t at = static_cast<std::size_t>(in.tellg());
  if (bytes.size() - at != size) return false;
  report->result = std::move(r);
  report->text.assign(bytes.substr(at));
  return true;
}

std::string run_jobs(int count, int processes, const SeedJob& job,
                     const std::function<void(const SeedReport&)>& deliver) {
  if (processes > count) processes = count;
  if (processes < 1) processes = 1;
  std::vector<Child> children;
  // What the caller has buffered would otherwise be written again by each child.
  std::fflush(nullptr);
  for (int k = 1; k < processes; ++k) {
    int fds[2];
    if (pipe(fds) != 0) {
      end_children(children, true);
      return "cannot make a pipe for a worker process";
    }
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      for (const Child& c : children) close(c.from);
      for (int i = k; i < count; i += processes)
        if (!send_report(fds[1], job(i))) _exit(1);
      close(fds[1]);
      // _exit, not exit: the caller's buffers and exit handlers are not ours.
      _exit(0);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      end_children(children, true);
      return "cannot start a worker process";
    }
    children.push_back(Child{pid, fds[0]});
  }
  for (int i = 0; i < count; ++i) {
    const int k = i % processes;
    if (k == 0) {
      deliver(job(i));
      continue;
    }
    SeedReport report;
    if (!receive_report(children[k - 1].from, &report)) {
      end_children(children, true);
      return "a worker process ended before its runs were done";
    }
    deliver(report);
  }
  end_children(children, false);
  return "";
}
