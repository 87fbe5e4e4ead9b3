// The template of the generated FORTRAN sampler. Like the C one it repeats
// the library's preparation and draw operation for operation, with explicit
// parentheses where the library's left-to-right order must be kept; exact
// doubles are written as their bit patterns.
#include "emit/fortran_source.h"

#include <cinttypes>
#include <cstring>

#include "checker/text.h"
#include "emit/template.h"

namespace o3::emit {
namespace {

constexpr const char* module_template = R"(! @HEADER_LINE@
! Compile with -ffp-contract=off (the default on x86-64 without FMA): the
! draws are then those of the o3tables sampler library, bit for bit.
module o3_sampler
  use, intrinsic :: iso_fortran_env, only: int32, int64, real64
  implicit none
  private
  public :: o3_uniform, o3_load, fa_o3, o3_free
  public :: o3_h0, o3_h_max
  public :: o3_loaded, o3_cannot_read, o3_other_file, o3_malformed, o3_no_memory

  abstract interface
    ! A uniform in [0, 1) from the caller's generator.
    function o3_uniform() result(u)
      import :: real64
      real(real64) :: u
    end function o3_uniform
  end interface

  ! The couplings the tables serve: o3_h0 <= h < o3_h_max.
  real(real64), parameter :: o3_h0 = transfer(@H0@, 1.0_real64)
  real(real64), parameter :: o3_h_max = transfer(@H_MAX@, 1.0_real64)

  ! Statuses of o3_load: loaded; the file cannot be opened or read; it is not
  ! the O3.res this sampler was made for; its numbers cannot be read; no
  ! memory for the tables.
  integer, parameter :: o3_loaded = 0, o3_cannot_read = 1, o3_other_file = 2, &
      o3_malformed = 3, o3_no_memory = 4

  ! The file this sampler was made for: its FNV-1a checksum (64 bits over
  ! every byte, here as two 32-bit halves) pins down its layout, so the
  ! loader can go to the lines it needs. Lines are numbered from 1; map_line
  ! is the first map entry "j g".
  integer(int64), parameter :: checksum_high = @CHECKSUM_HIGH@_int64
  integer(int64), parameter :: checksum_low = @CHECKSUM_LOW@_int64
  integer, parameter :: nd = @ND@, histograms = @HISTOGRAMS@, pieces = nd * histograms
  integer, parameter :: map_line = @MAP_LINE@, map_entries = @MAP_ENTRIES@
  ! The dense map: its first cell's map index and its number of cells.
  integer(int64), parameter :: first_cell = @FIRST_CELL@_int64, cells = @CELLS@_int64

  ! The lookup lines: a coupling below bound(r) and not below bound(r - 1)
  ! goes to the dense map's cell offset(r) + int(h / step(r)). The last bound
  ! is H_max and never compared.
  integer, parameter :: routes = @ROUTES@
  real(real64), parameter :: bound(routes) = transfer([integer(int64) :: &
      @BOUNDS@], 1.0_real64, routes)
  real(real64), parameter :: step(routes) = transfer([integer(int64) :: &
      @STEPS@], 1.0_real64, routes)
  integer(int64), parameter :: offset(routes) = [integer(int64) :: &
      @OFFSETS@]

  ! The squeeze is lowered (the chord raised) by this relative margin so that
  ! the rounding of its own computation cannot move it across the density.
  real(real64), parameter :: margin = 1.0e-9_real64
  real(real64), parameter :: two53 = 9007199254740992.0_real64
  real(real64), parameter :: two_m53 = 1.0_real64 / two53
  integer(int64), parameter :: low53 = 9007199254740991_int64

  ! The pieces of all histograms, piece k of histogram g at g * nd + k.
  ! Heights are fractions of the box, t is the offset y - left of a point in
  ! the piece; the first try accepts m * 2^-53 < squeeze exactly when
  ! m < threshold, at the position left + m * fast_scale.
  real(real64), allocatable :: left(:), squeeze(:), span(:), width(:), slope(:)
  real(real64), allocatable :: chord(:), chord_slope(:), fast_scale(:)
  integer(int64), allocatable :: threshold(:)
  real(real64) :: area(0:histograms - 1)
  ! The couplings each histogram serves, from the map: its squeezes hold up
  ! to the largest, its chords down to the smallest.
  real(real64) :: lower(0:histograms - 1), upper(0:histograms - 1)
  integer(int32) :: cell_histogram(0:cells - 1)

contains

  ! Reads the tables from the O3.res at path and prepares them. status is
  ! o3_loaded, or another status with message saying why; after a failure
  ! no tables are loaded. Never stops the program.
  subroutine o3_load(path, status, message)
    character(len=*), intent(in) :: path
    integer, intent(out) :: status
    character(len=*), intent(out), optional :: message
    character(len=:), allocatable :: bytes
    integer :: ios, at, line
    logical :: ok

    call o3_free()
    call read_file(path, bytes, ios)
    if (ios /= 0) then
      call fail(o3_cannot_read, 'cannot be read')
      return
    end if
    if (.not. checksum_matches(bytes)) then
      call fail(o3_other_file, 'O3.res is not the file this sampler was made for')
      return
    end if
    allocate(left(0:pieces - 1), squeeze(0:pieces - 1), span(0:pieces - 1), &
        width(0:pieces - 1), slope(0:pieces - 1), chord(0:pieces - 1), &
        chord_slope(0:pieces - 1), fast_scale(0:pieces - 1), &
        threshold(0:pieces - 1), stat=ios)
    if (ios /= 0) then
      call fail(o3_no_memory, 'no memory for the tables')
      return
    end if
    call set_ranges()
    at = 1
    ok = .true.
    do line = 1, map_line - 1
      if (ok) call next_line(bytes, at, ok)
    end do
    if (ok) call read_map(bytes, at, ok)
    if (ok) call read_records(bytes, at, ok)
    if (.not. ok) then
      call fail(o3_malformed, 'its numbers cannot be read')
      return
    end if
    status = o3_loaded
    if (present(message)) message = ''

  contains

    subroutine fail(code, what)
      integer, intent(in) :: code
      character(len=*), intent(in) :: what
      status = code
      if (present(message)) message = path // ': ' // what
      call o3_free()
    end subroutine fail

  end subroutine o3_load

  ! Releases the tables.
  subroutine o3_free()
    if (allocated(left)) deallocate(left, squeeze, span, width, slope, chord, &
        chord_slope, fast_scale, threshold)
  end subroutine o3_free

  ! One y = cos(theta) in [-1, 1] with density proportional to exp(h*y - h),
  ! for o3_h0 <= h < o3_h_max, after a successful o3_load. uniform gives
  ! uniforms in [0, 1) from the caller's generator; without it the
  ! intrinsic random_number is used.
  function fa_o3(h, uniform) result(y)
    real(real64), intent(in) :: h
    procedure(o3_uniform), optional :: uniform
    real(real64) :: y
    integer :: g, first, k
    integer(int64) :: product, m
    real(real64) :: a, v, t

    g = cell_histogram(cell_index(h))
    first = g * nd
    a = area(g)
    ! Each try: one word gives the piece k (its high part times nd) and a
    ! uniform fraction v = m * 2^-53 of the box height (the rest). Below the
    ! squeeze the box lies under the density: v / squeeze is then a fresh
    ! uniform for the position.
    do
      product = next_word(uniform) * int(nd, int64)
      k = first + int(ishft(product, -53))
      m = iand(product, low53)
      if (m < threshold(k)) then
        y = left(k) + real(m, real64) * fast_scale(k)
        return
      end if
      v = real(m, real64) * two_m53
      t = (real(next_word(uniform), real64) * two_m53) * width(k)
      y = left(k) + t
      ! Below the tangent accept, above the chord reject, between them ask
      ! the density.
      if (v < squeeze(k) + slope(k) * t) return
      if (v < chord(k) + chord_slope(k) * t) then
        if (v * a < width(k) * exp(h * (y - 1.0_real64))) return
      end if
    end do
  end function fa_o3

  ! The top 53 bits of a random word, from one uniform.
  function next_word(uniform) result(w)
    procedure(o3_uniform), optional :: uniform
    integer(int64) :: w
    real(real64) :: u
    if (present(uniform)) then
      u = uniform()
    else
      call random_number(u)
    end if
    w = int(u * two53, int64)
  end function next_word

  ! The dense map's cell for h, routed as the lookup lines route it and
  ! taken to the nearest end of the map outside it.
  pure function cell_index(h) result(c)
    real(real64), intent(in) :: h
    integer(int64) :: c
    integer :: r
    r = 1
    do while (r < routes)
      if (.not. (h >= bound(r))) exit
      r = r + 1
    end do
    c = offset(r) + int(int(h / step(r)), int64)
    if (c < 0_int64) then
      c = 0_int64
    else if (c >= cells) then
      c = cells - 1_int64
    end if
  end function cell_index

  ! The whole file; ios is non-zero when it cannot be read.
  subroutine read_file(path, bytes, ios)
    character(len=*), intent(in) :: path
    character(len=:), allocatable, intent(out) :: bytes
    integer, intent(out) :: ios
    integer :: unit
    integer(int64) :: size_bytes
    open(newunit=unit, file=path, access='stream', form='unformatted', &
        action='read', status='old', iostat=ios)
    if (ios /= 0) return
    inquire(unit=unit, size=size_bytes)
    if (size_bytes < 0_int64 .or. size_bytes > int(huge(0), int64)) then
      ios = -1
    else
      allocate(character(len=int(size_bytes)) :: bytes)
      if (size_bytes > 0_int64) read(unit, iostat=ios) bytes
    end if
    close(unit)
  end subroutine read_file

  ! FNV-1a over every byte, in 32-bit halves so that no product reaches
  ! 2^63: the multiplication by the prime 2^40 + 435 modulo 2^64 sends the
  ! low half times 2^8 into the high half.
  function checksum_matches(bytes) result(same)
    character(len=*), intent(in) :: bytes
    logical :: same
    integer(int64), parameter :: half = 4294967295_int64
    integer(int64) :: high, low, low_product
    integer :: i
    high = 3421674724_int64
    low = 2216829733_int64
    do i = 1, len(bytes)
      low = ieor(low, int(ichar(bytes(i:i)), int64))
      low_product = low * 435_int64
      high = iand(high * 435_int64 + ishft(low_product, -32) + &
          ishft(iand(low, 16777215_int64), 8), half)
      low = iand(low_product, half)
    end do
    same = high == checksum_high .and. low == checksum_low
  end function checksum_matches

  ! Moves at past the line that starts there; ok is false at the end.
  subroutine next_line(bytes, at, ok, first, last)
    character(len=*), intent(in) :: bytes
    integer, intent(inout) :: at
    logical, intent(out) :: ok
    integer, intent(out), optional :: first, last
    integer :: length
    ok = at <= len(bytes)
    if (.not. ok) return
    length = index(bytes(at:), new_line('a')) - 1
    if (length < 0) length = len(bytes) - at + 1
    if (present(first)) first = at
    if (present(last)) last = at + length - 1
    at = at + length + 1
  end subroutine next_line

  ! The map entries: the dense map, a cell without an entry taking the
  ! histogram of the cell before it, also past the last entry.
  subroutine read_map(bytes, at, ok)
    character(len=*), intent(in) :: bytes
    integer, intent(inout) :: at
    logical, intent(out) :: ok
    integer :: e, g, ios, first, last
    integer(int64) :: j, c
    cell_histogram = -1
    do e = 0, map_entries - 1
      call next_line(bytes, at, ok, first, last)
      if (.not. ok) return
      read(bytes(first:last), *, iostat=ios) j, g
      ok = ios == 0 .and. j >= first_cell .and. j - first_cell < cells .and. &
          g >= 0 .and. g < histograms
      if (ok .and. e == 0) ok = j == first_cell
      if (.not. ok) return
      cell_histogram(j - first_cell) = int(g, int32)
    end do
    do c = 1_int64, cells - 1_int64
      if (cell_histogram(c) < 0) cell_histogram(c) = cell_histogram(c - 1_int64)
    end do
  end subroutine read_map

  ! Each record: "i H Nd_poi loss a", then Nd_poi + 1 points.
  subroutine read_records(bytes, at, ok)
    character(len=*), intent(in) :: bytes
    integer, intent(inout) :: at
    logical, intent(out) :: ok
    real(real64) :: x(0:nd), coupling, loss
    integer :: count, number, points, g, k, ios, first, last
    call next_line(bytes, at, ok, first, last)
    if (.not. ok) return
    read(bytes(first:last), *, iostat=ios) count
    ok = ios == 0 .and. count == histograms - 1
    do g = 0, histograms - 1
      if (.not. ok) return
      call next_line(bytes, at, ok, first, last)
      if (.not. ok) return
      read(bytes(first:last), *, iostat=ios) number, coupling, points, loss, area(g)
      ok = ios == 0 .and. number == g .and. points == nd
      do k = 0, nd
        if (ok) call next_line(bytes, at, ok, first, last)
        if (ok) read(bytes(first:last), *, iostat=ios) x(k)
        if (ok) ok = ios == 0
      end do
      if (ok) call prepare(g, x)
    end do
  end subroutine read_records

  ! The pieces of histogram g from its points x, with their squeezes,
  ! tangents and chords for every coupling it serves.
  subroutine prepare(g, x)
    integer, intent(in) :: g
    real(real64), intent(in) :: x(0:nd)
    real(real64) :: a, top, low, w, box, least, s, start, finish
    integer :: k, i
    a = area(g)
    top = upper(g)
    low = lower(g)
    do k = 0, nd - 1
      i = g * nd + k
      w = x(k + 1) - x(k)
      box = w / a
      least = exp(top * (x(k) - 1.0_real64))
      s = ((least * w) / a) * (1.0_real64 - margin)
      if (1.0_real64 < s) s = 1.0_real64
      start = (exp(low * (x(k) - 1.0_real64)) * box) * (1.0_real64 + margin)
      finish = (exp(low * (x(k + 1) - 1.0_real64)) * box) * (1.0_real64 + margin)
      left(i) = x(k)
      squeeze(i) = s
      width(i) = w
      chord(i) = start
      if (s > 0.0_real64) then
        span(i) = w / s
        threshold(i) = ceiling(s * two53, int64)
      else
        span(i) = 0.0_real64
        threshold(i) = 0_int64
      end if
      if (w > 0.0_real64) then
        slope(i) = s * top
        chord_slope(i) = (finish - start) / w
      else
        slope(i) = 0.0_real64
        chord_slope(i) = 0.0_real64
      end if
      fast_scale(i) = span(i) * two_m53
    end do
  end subroutine prepare

  ! The coupling ranges of the histograms, as bit patterns of the doubles.
  subroutine set_ranges()
@RANGES@  end subroutine set_ranges

end module o3_sampler
)";

// A double's bits as a FORTRAN integer(int64) literal; the most negative
// value has no literal of its own.
std::string bits_of(double v) {
  std::int64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  if (bits == INT64_MIN) return "(-9223372036854775807_int64 - 1_int64)";
  return checker::text("%" PRId64 "_int64", bits);
}

// Items of an array constructor, four to a continued line.
std::string continued(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i % 4 == 0 ? ", &\n      " : ", ";
    out += items[i];
  }
  return out;
}

// One assignment a value: a range table can hold thousands of histograms,
// more than an array constructor may continue over.
std::string assignments(const char* name, const std::vector<double>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out += checker::text("    %s(%zu) = transfer(%s, 1.0_real64)\n", name, i,
                         bits_of(values[i]).c_str());
  }
  return out;
}

}  // namespace

std::string fortran_sampler(const table_facts& f) {
  std::vector<std::string> bounds;
  std::vector<std::string> steps;
  std::vector<std::string> offsets;
  for (std::size_t r = 0; r < f.routes.size(); ++r) {
    bounds.push_back(bits_of(r + 1 < f.routes.size() ? f.routes[r].bound : f.H_max));
    steps.push_back(bits_of(f.routes[r].step));
    offsets.push_back(checker::text("%" PRId64 "_int64", f.routes[r].offset));
  }
  std::vector<substitution> values = layout_substitutions(f);
  values.insert(values.end(),
      {{"HEADER_LINE", header_line(f, "o3_sampler.f90")},
       {"H0", bits_of(f.H0)},
       {"H_MAX", bits_of(f.H_max)},
       {"CHECKSUM_HIGH", checker::text("%" PRIu64, f.checksum >> 32)},
       {"CHECKSUM_LOW", checker::text("%" PRIu64, f.checksum & 0xffffffffu)},
       {"BOUNDS", continued(bounds)},
       {"STEPS", continued(steps)},
       {"OFFSETS", continued(offsets)},
       {"RANGES", assignments("lower", f.lower) + assignments("upper", f.upper)}});
  return fill(module_template, values);
}

}  // namespace o3::emit
