! Drawing y = cos(theta) in [-1, 1] with density proportional to
! exp(h*y - h), for any coupling h, from the tables of an O3.res file: the
! Fortran face of the C sampler (o3_sampler.c), whose code it runs through
! ISO_C_BINDING, so that C, C++ and Fortran draw alike from one stream of
! random words. Fortran 2008 (gfortran -std=f2008); compile o3_sampler.c
! with -ffp-contract=off to keep those draws bit for bit.
module o3_sampler
  use, intrinsic :: iso_c_binding, only: c_ptr, c_funptr, c_null_ptr, c_null_char, &
      c_int, c_long, c_char, c_double, c_int64_t, c_size_t, c_associated, c_loc, c_funloc, &
      c_f_pointer
  use, intrinsic :: iso_fortran_env, only: int64, real64
  implicit none
  private
  public :: o3_table, o3_rng, o3_stream, o3_counts, o3_uniform
  public :: o3_open, o3_close, o3_is_open, o3_draw, o3_draw_many, o3_rng_seed, o3_rng_uniform
  public :: o3_stream_seed, o3_stream_seed_at
  public :: o3_outside_count, o3_error_count, o3_h0, o3_h_max
  public :: o3_ok, o3_cannot_read, o3_refused, o3_no_memory, o3_bad_engine
  public :: o3_engine_default, o3_engine_tables, o3_engine_exponential
  ! The kinds of the interface, so that a program needs no other module.
  public :: int64, real64

  ! Statuses of o3_open: opened; the path is not a readable regular file;
  ! the file is not a sound table (the message says where); no memory; an
  ! engine it does not know, or a path given to the exponential engine.
  integer, parameter :: o3_ok = 0, o3_cannot_read = 1, o3_refused = 2, o3_no_memory = 3, &
      o3_bad_engine = 4

  ! Engines (see o3_sampler.h): the fastest exact draw for each coupling;
  ! the tables only, as o3tables 0.1 drew; no table at all.
  integer, parameter :: o3_engine_default = 0, o3_engine_tables = 1, o3_engine_exponential = 2

  ! One opened table; a program may hold any number of them. A copy made by
  ! assignment names the same table, closed by either: keep one name each.
  type :: o3_table
    private
    type(c_ptr) :: handle = c_null_ptr
  end type o3_table

  ! The built-in generator, xoshiro256**: seed it with o3_rng_seed (one never
  ! seeded, all zeros, gives NaN draws, counted by o3_error_count).
  type, bind(c) :: o3_rng
    integer(c_int64_t) :: s(4)
  end type o3_rng

  ! Draws whose coupling the engine would have taken from the tables but
  ! they did not cover, and draws that gave NaN.
  type, bind(c) :: o3_counts
    integer(c_int64_t) :: outside, errors
  end type o3_counts

  ! What the draws of one thread change: a generator and the counts of its
  ! draws. Any number of threads may draw from one table, each with a
  ! stream of its own (o3_stream_seed, o3_stream_seed_at).
  type, bind(c) :: o3_stream
    type(o3_rng) :: rng
    type(o3_counts) :: counts
  end type o3_stream

  abstract interface
    ! A uniform in [0, 1) from the caller's generator.
    function o3_uniform() result(u)
      import :: real64
      real(real64) :: u
    end function o3_uniform
  end interface

  ! The caller's uniform, carried through the C draw to the trampoline.
  type :: uniform_holder
    procedure(o3_uniform), pointer, nopass :: uniform => null()
  end type uniform_holder

  type, bind(c) :: c_error
    integer(c_int) :: status
    integer(c_long) :: line
    character(kind=c_char) :: message(512)
  end type c_error

  interface o3_draw
    module procedure draw_with_rng, draw_with_uniform, draw_with_stream
  end interface o3_draw

  interface o3_draw_many
    module procedure draw_many_with_rng, draw_many_with_stream
  end interface o3_draw_many

  interface
    function c_open(path, engine, error) bind(c, name='o3_open_engine') result(t)
      import :: c_ptr, c_int, c_error
      type(c_ptr), value :: path
      integer(c_int), value :: engine
      type(c_error), intent(out) :: error
      type(c_ptr) :: t
    end function c_open
    subroutine c_close(t) bind(c, name='o3_close')
      import :: c_ptr
      type(c_ptr), value :: t
    end subroutine c_close
    function c_draw(t, h, rng) bind(c, name='o3_draw_call') result(y)
      import :: c_ptr, c_double, o3_rng
      type(c_ptr), value :: t
      real(c_double), value :: h
      type(o3_rng), intent(inout) :: rng
      real(c_double) :: y
    end function c_draw
    function c_stream_draw(t, h, s) bind(c, name='o3_stream_draw_call') result(y)
      import :: c_ptr, c_double, o3_stream
      type(c_ptr), value :: t
      real(c_double), value :: h
      type(o3_stream), intent(inout) :: s
      real(c_double) :: y
    end function c_stream_draw
    subroutine c_stream_draw_many(t, n, h, y, s) bind(c, name='o3_stream_draw_many')
      import :: c_ptr, c_size_t, c_double, o3_stream
      type(c_ptr), value :: t
      integer(c_size_t), value :: n
      real(c_double), intent(in) :: h(*)
      real(c_double), intent(out) :: y(*)
      type(o3_stream), intent(inout) :: s
    end subroutine c_stream_draw_many
    subroutine c_stream_seed(s, seed) bind(c, name='o3_stream_seed')
      import :: o3_stream, c_int64_t
      type(o3_stream), intent(out) :: s
      integer(c_int64_t), value :: seed
    end subroutine c_stream_seed
    subroutine c_stream_seed_at(s, seed, sweep, place) bind(c, name='o3_stream_seed_at')
      import :: o3_stream, c_int64_t
      type(o3_stream), intent(out) :: s
      integer(c_int64_t), value :: seed, sweep, place
    end subroutine c_stream_seed_at
    subroutine c_draw_many(t, n, h, y, rng) bind(c, name='o3_draw_many')
      import :: c_ptr, c_size_t, c_double, o3_rng
      type(c_ptr), value :: t
      integer(c_size_t), value :: n
      real(c_double), intent(in) :: h(*)
      real(c_double), intent(out) :: y(*)
      type(o3_rng), intent(inout) :: rng
    end subroutine c_draw_many
    function c_draw_uniform(t, h, uniform, state) bind(c, name='o3_draw_uniform') result(y)
      import :: c_ptr, c_funptr, c_double
      type(c_ptr), value :: t
      real(c_double), value :: h
      type(c_funptr), value :: uniform
      type(c_ptr), value :: state
      real(c_double) :: y
    end function c_draw_uniform
    subroutine c_rng_seed(rng, seed) bind(c, name='o3_rng_seed')
      import :: o3_rng, c_int64_t
      type(o3_rng), intent(out) :: rng
      integer(c_int64_t), value :: seed
    end subroutine c_rng_seed
    function c_rng_uniform(rng) bind(c, name='o3_rng_uniform') result(u)
      import :: o3_rng, c_double
      type(o3_rng), intent(inout) :: rng
      real(c_double) :: u
    end function c_rng_uniform
    function c_outside_count(t) bind(c, name='o3_outside_count') result(n)
      import :: c_ptr, c_int64_t
      type(c_ptr), value :: t
      integer(c_int64_t) :: n
    end function c_outside_count
    function c_error_count(t) bind(c, name='o3_error_count') result(n)
      import :: c_ptr, c_int64_t
      type(c_ptr), value :: t
      integer(c_int64_t) :: n
    end function c_error_count
    function c_h0(t) bind(c, name='o3_h0') result(h)
      import :: c_ptr, c_double
      type(c_ptr), value :: t
      real(c_double) :: h
    end function c_h0
    function c_h_max(t) bind(c, name='o3_h_max') result(h)
      import :: c_ptr, c_double
      type(c_ptr), value :: t
      real(c_double) :: h
    end function c_h_max
  end interface

contains

  ! Opens and checks the O3.res at path (trailing blanks dropped) for the
  ! engine (o3_engine_default when absent); status is o3_ok, or another
  ! status with message saying why and the table left closed. The default
  ! and exponential engines draw without a table: path '' names none (the
  ! exponential engine's must be ''). A table already open in it is closed
  ! first. Never stops the program.
  subroutine o3_open(table, path, status, message, engine)
    type(o3_table), intent(inout) :: table
    character(len=*), intent(in) :: path
    integer, intent(out) :: status
    character(len=*), intent(out), optional :: message
    integer, intent(in), optional :: engine
    type(c_error) :: error
    character(kind=c_char, len=:), allocatable, target :: c_path
    integer :: i, how
    call o3_close(table)
    how = o3_engine_default
    if (present(engine)) how = engine
    c_path = trim(path) // c_null_char
    if (how /= o3_engine_tables .and. len_trim(path) == 0) then
      table%handle = c_open(c_null_ptr, int(how, c_int), error)
    else
      table%handle = c_open(c_loc(c_path), int(how, c_int), error)
    end if
    status = int(error%status)
    if (present(message)) then
      message = ''
      do i = 1, min(len(message), size(error%message))
        if (error%message(i) == c_null_char) exit
        message(i:i) = error%message(i)
      end do
    end if
  end subroutine o3_open

  ! Releases the table; closing a table that is not open does nothing.
  subroutine o3_close(table)
    type(o3_table), intent(inout) :: table
    if (c_associated(table%handle)) call c_close(table%handle)
    table%handle = c_null_ptr
  end subroutine o3_close

  logical function o3_is_open(table)
    type(o3_table), intent(in) :: table
    o3_is_open = c_associated(table%handle)
  end function o3_is_open

  ! One y for coupling h, by the table's engine, mirrored for h < 0; NaN for
  ! h not finite (counted by o3_error_count) or a table that is not open.
  ! Counted in the table: one thread at a time.
  function draw_with_rng(table, h, rng) result(y)
    type(o3_table), intent(in) :: table
    real(real64), intent(in) :: h
    type(o3_rng), intent(inout) :: rng
    real(real64) :: y
    y = c_draw(table%handle, h, rng)
  end function draw_with_rng

  ! The same from a stream, counted in it: the table is only read, so any
  ! number of threads may draw at once, each from its own stream.
  function draw_with_stream(table, h, stream) result(y)
    type(o3_table), intent(in) :: table
    real(real64), intent(in) :: h
    type(o3_stream), intent(inout) :: stream
    real(real64) :: y
    y = c_stream_draw(table%handle, h, stream)
  end function draw_with_stream

  ! y(i) for h(i), each drawn as o3_draw draws it: the fastest way to draw
  ! many couplings known at once (one sublattice of a checkerboard sweep),
  ! their first tries made together and their misses finished after them,
  ! so that the words are taken in another order than by o3_draw. y must be
  ! as long as h.
  subroutine draw_many_with_rng(table, h, y, rng)
    type(o3_table), intent(in) :: table
    real(real64), intent(in) :: h(:)
    real(real64), intent(out) :: y(:)
    type(o3_rng), intent(inout) :: rng
    if (size(y) < size(h)) error stop 'o3_draw_many: y is shorter than h'
    call c_draw_many(table%handle, int(size(h), c_size_t), h, y, rng)
  end subroutine draw_many_with_rng

  subroutine draw_many_with_stream(table, h, y, stream)
    type(o3_table), intent(in) :: table
    real(real64), intent(in) :: h(:)
    real(real64), intent(out) :: y(:)
    type(o3_stream), intent(inout) :: stream
    if (size(y) < size(h)) error stop 'o3_draw_many: y is shorter than h'
    call c_stream_draw_many(table%handle, int(size(h), c_size_t), h, y, stream)
  end subroutine draw_many_with_stream

  ! The same draw from the caller's generator: each uniform() gives one
  ! random word, whose top 53 bits are trunc(u * 2^53); a NaN gives a NaN
  ! draw, counted by o3_error_count.
  function draw_with_uniform(table, h, uniform) result(y)
    type(o3_table), intent(in) :: table
    real(real64), intent(in) :: h
    procedure(o3_uniform) :: uniform
    real(real64) :: y
    type(uniform_holder), target :: holder
    holder%uniform => uniform
    y = c_draw_uniform(table%handle, h, c_funloc(trampoline), c_loc(holder))
  end function draw_with_uniform

  function trampoline(state) bind(c, name='o3_fortran_uniform') result(u)
    type(c_ptr), value :: state
    real(c_double) :: u
    type(uniform_holder), pointer :: holder
    call c_f_pointer(state, holder)
    u = holder%uniform()
  end function trampoline

  subroutine o3_rng_seed(rng, seed)
    type(o3_rng), intent(out) :: rng
    integer(int64), intent(in) :: seed
    call c_rng_seed(rng, seed)
  end subroutine o3_rng_seed

  ! The generator of o3_rng_seed, the counts zero.
  subroutine o3_stream_seed(stream, seed)
    type(o3_stream), intent(out) :: stream
    integer(int64), intent(in) :: seed
    call c_stream_seed(stream, seed)
  end subroutine o3_stream_seed

  ! A generator of its own for each (seed, sweep, place), the counts zero:
  ! a simulation that takes the words of each place of each sweep from its
  ! own stream draws the same configuration with any number of threads.
  subroutine o3_stream_seed_at(stream, seed, sweep, place)
    type(o3_stream), intent(out) :: stream
    integer(int64), intent(in) :: seed, sweep, place
    call c_stream_seed_at(stream, seed, sweep, place)
  end subroutine o3_stream_seed_at

  ! The next word's top 53 bits times 2^-53: a uniform in [0, 1).
  function o3_rng_uniform(rng) result(u)
    type(o3_rng), intent(inout) :: rng
    real(real64) :: u
    u = c_rng_uniform(rng)
  end function o3_rng_uniform

  ! Draws since the table was opened whose |h| lay outside [H0, H_max)
  ! (o3_outside_count), and draws that gave NaN (o3_error_count).
  function o3_outside_count(table) result(n)
    type(o3_table), intent(in) :: table
    integer(int64) :: n
    n = c_outside_count(table%handle)
  end function o3_outside_count

  function o3_error_count(table) result(n)
    type(o3_table), intent(in) :: table
    integer(int64) :: n
    n = c_error_count(table%handle)
  end function o3_error_count

  ! The range the tables serve: H0 <= h < H_max.
  function o3_h0(table) result(h)
    type(o3_table), intent(in) :: table
    real(real64) :: h
    h = c_h0(table%handle)
  end function o3_h0

  function o3_h_max(table) result(h)
    type(o3_table), intent(in) :: table
    real(real64) :: h
    h = c_h_max(table%handle)
  end function o3_h_max

end module o3_sampler
