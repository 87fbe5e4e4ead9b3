! A heat-bath Monte Carlo of the classical Heisenberg model in Fortran on the
! sampler's module: the simulation of heat_bath, with its options, its
! streams and its results, bit for bit (each sum and product in the C
! program's order), the checkerboard's planes on OpenMP's threads. See
! heat_bath_fortran --help.
program heat_bath_fortran
  use o3_sampler
  use, intrinsic :: iso_fortran_env, only: error_unit
  use, intrinsic :: iso_fortran_env, only: output_unit
  use, intrinsic :: iso_c_binding, only: c_double
  use, intrinsic :: ieee_arithmetic, only: ieee_value, ieee_quiet_nan, ieee_is_nan
  !$ use omp_lib, only: omp_get_max_threads, omp_get_thread_num
  implicit none

  interface
    ! C99's, for the inversion of y's distribution (Fortran has neither).
    pure function log1p(x) bind(c, name='log1p') result(y)
      import :: c_double
      real(c_double), value :: x
      real(c_double) :: y
    end function log1p
    pure function expm1(x) bind(c, name='expm1') result(y)
      import :: c_double
      real(c_double), value :: x
      real(c_double) :: y
    end function expm1
  end interface

  character(len=*), parameter :: program_name = 'heat_bath_fortran'
  real(real64), parameter :: two_pi = 6.283185307179586_real64
  integer, parameter :: energy = 1, m_abs = 2, m2 = 3, m4 = 4

  ! The options, with heat_bath's defaults.
  integer :: dim = 3, L = 16, bins = 32, engine = o3_engine_default
  integer(int64) :: therm = 1000, sweeps = 10000, seed = 1
  real(real64) :: beta = 0.693_real64
  logical :: hot = .false., checkerboard = .true., library = .true.
  character(len=:), allocatable :: beta_text, table_path

  type(o3_table) :: table
  real(real64), allocatable :: s(:, :), field(:, :, :), h(:, :), y(:, :), plane_bonds(:), &
      plane_m(:, :), bin_count(:), bin_sum(:, :)
  real(real64) :: sum_sq(4), value(4), seconds
  integer(int64) :: n, updates = 0, outside = 0, errors = 0, clock_start, clock_end, clock_rate
  integer :: plane_sites, planes, threads, status
  character(len=512) :: message
  type(o3_stream) :: sequential

  beta_text = '0.693'
  table_path = ''
  status = parse_options()
  if (status == 1) then
    call print_usage()
    stop
  else if (status /= 0) then
    write (error_unit, '(a)') program_name // ' --help lists the options'
    stop 2, quiet=.true.
  end if
  if (library) then
    ! Only the tables engine reads a file; the others draw without one.
    call o3_open(table, table_path, status, message, engine)
    if (status /= o3_ok) then
      write (error_unit, '(a)') program_name // ': ' // trim(message)
      if (status == o3_cannot_read .or. status == o3_refused) then
        call print_advice(error_unit)
        write (error_unit, '(a)') 'or draw without a table: --engine default'
      end if
      stop 1, quiet=.true.
    end if
  end if

  plane_sites = merge(L * L, 1, dim == 3)
  planes = L
  threads = 1
  !$ threads = omp_get_max_threads()
  allocate (s(3, 0:plane_sites * planes - 1), field(3, plane_sites, 0:threads - 1), &
      h(plane_sites, 0:threads - 1), y(plane_sites, 0:threads - 1), plane_bonds(0:planes - 1), &
      plane_m(3, 0:planes - 1), bin_count(0:bins - 1), bin_sum(4, 0:bins - 1))
  call print_header()
  call start()
  call o3_stream_seed(sequential, seed)
  bin_count = 0
  bin_sum = 0
  sum_sq = 0
  call system_clock(clock_start, clock_rate)
  do n = 1, therm + sweeps
    if (checkerboard) then
      call half_sweep(n, 0)
      call half_sweep(n, 1)
    else
      call sequential_sweep()
    end if
    if (n > therm) call measure(n - therm - 1)
  end do
  call system_clock(clock_end)
  seconds = real(clock_end - clock_start, real64) / real(clock_rate, real64)
  call print_results()
  call o3_close(table)
  ! The main program's arrays live in its frame, gone when it returns: freed
  ! here, so that the leak checker sees a program that frees what it took.
  deallocate (s, field, h, y, plane_bonds, plane_m, bin_count, bin_sum, beta_text, table_path)
  if (errors > 0) stop 1, quiet=.true.

contains

  ! 0 with the options read; 1 for -h or --help; 2 after a message.
  integer function parse_options() result(status)
    character(len=*), parameter :: names(12) = [character(len=9) :: '--lattice', '--L', &
        '--beta', '--therm', '--sweeps', '--bins', '--seed', '--start', '--order', '--draw', &
        '--engine', '--table']
    character(len=:), allocatable :: arg, name, text
    logical :: given(12)
    integer :: i, k, which, equals
    status = 0
    text = ''
    do i = 1, command_argument_count()
      arg = argument(i)
      if (arg == '-h' .or. arg == '--help') status = 1
    end do
    if (status /= 0) return
    given = .false.
    i = 1
    do while (i <= command_argument_count())
      arg = argument(i)
      equals = index(arg, '=')
      name = arg
      if (equals > 0) name = arg(:equals - 1)
      if (len(arg) < 2) then
        status = fail('not an option', arg)
        return
      else if (arg(:2) /= '--') then
        status = fail('not an option', arg)
        return
      end if
      which = 0
      do k = 1, size(names)
        if (name == trim(names(k))) which = k
      end do
      if (which == 0) then
        status = fail('unknown option', arg)
        return
      end if
      if (equals > 0) then
        text = arg(equals + 1:)
      else if (i < command_argument_count()) then
        i = i + 1
        text = argument(i)
      else
        status = fail('missing value of', arg)
        return
      end if
      if (given(which)) then
        status = fail('given twice', trim(names(which)))
        return
      end if
      given(which) = .true.
      status = take(which, text)
      if (status /= 0) return
      i = i + 1
    end do
    if (sweeps < bins) then
      status = fail('--sweeps must be at least --bins')
    else if (checkerboard .and. modulo(L, 2) /= 0) then
      status = fail('--order checkerboard needs an even --L')
    else if (dim == 3 .and. L > 1290) then
      ! The L**3 sites counted in default integers, below 2**31.
      status = fail('--L of the cubic lattice must be at most 1290')
    else if (.not. library .and. given(11)) then
      status = fail('--engine is the library''s: it goes with --draw library')
    else if (given(12) .and. engine /= o3_engine_tables) then
      status = fail('--table is read by --engine tables only')
    else if (engine == o3_engine_tables .and. .not. given(12)) then
      table_path = 'O3.res'
    end if
  end function parse_options

  ! Option `which` of the names and its value: 0, or 2 after a message.
  integer function take(which, text) result(status)
    integer, intent(in) :: which
    character(len=*), intent(in) :: text
    integer :: io
    integer(int64) :: number
    status = 0
    select case (which)
    case (1)
      if (text /= 'chain' .and. text /= 'cubic') then
        status = fail('--lattice must be chain or cubic', text)
      end if
      dim = merge(1, 3, text == 'chain')
    case (2)
      if (.not. whole(text, 2_int64, int(huge(L), int64), number)) status = fail('bad --L', text)
      L = int(number)
    case (3)
      io = 1
      if (decimal(text)) read (text, *, iostat=io) beta
      if (io /= 0 .or. .not. (beta >= 0 .and. beta <= 1e6_real64)) then
        status = fail('--beta must be a number from 0 to 1e6', text)
      end if
      beta_text = text
    case (4)
      if (.not. whole(text, 0_int64, huge(therm), therm)) status = fail('bad --therm', text)
    case (5)
      if (.not. whole(text, 1_int64, huge(sweeps), sweeps)) status = fail('bad --sweeps', text)
    case (6)
      if (.not. whole(text, 2_int64, 1000_int64, number)) status = fail('bad --bins', text)
      bins = int(number)
    case (7)
      if (.not. whole(text, 0_int64, huge(seed), seed)) status = fail('bad --seed', text)
    case (8)
      if (text /= 'cold' .and. text /= 'hot') status = fail('--start must be cold or hot', text)
      hot = text == 'hot'
    case (9)
      if (text /= 'checkerboard' .and. text /= 'sequential') then
        status = fail('--order must be checkerboard or sequential', text)
      end if
      checkerboard = text == 'checkerboard'
    case (10)
      if (text /= 'library' .and. text /= 'inversion') then
        status = fail('--draw must be library or inversion', text)
      end if
      library = text == 'library'
    case (11)
      select case (text)
      case ('default')
        engine = o3_engine_default
      case ('tables')
        engine = o3_engine_tables
      case ('exponential')
        engine = o3_engine_exponential
      case default
        status = fail('--engine must be default, tables or exponential', text)
      end select
    case default
      table_path = text
    end select
  end function take

  ! Whether text has the form of a decimal number that C's strtod reads
  ! whole: a digit or a point first, signs only in the exponent.
  logical function decimal(text)
    character(len=*), intent(in) :: text
    integer :: k
    decimal = .false.
    if (len(text) == 0 .or. verify(text, '0123456789.eE+-') /= 0) return
    if (verify(text(1:1), '0123456789.') /= 0) return
    do k = 2, len(text)
      if (scan(text(k:k), '+-') > 0 .and. scan(text(k - 1:k - 1), 'eE') == 0) return
    end do
    decimal = .true.
  end function decimal

  ! Whether text is a number of decimal digits alone from low to high, then
  ! in value.
  logical function whole(text, low, high, value)
    character(len=*), intent(in) :: text
    integer(int64), intent(in) :: low, high
    integer(int64), intent(inout) :: value
    integer(int64) :: v
    integer :: io
    whole = .false.
    if (len(text) == 0 .or. verify(text, '0123456789') /= 0) return
    read (text, '(i20)', iostat=io) v
    if (io /= 0 .or. v < low .or. v > high) return
    value = v
    whole = .true.
  end function whole

  ! 2, after the message "<program>: <what>[: <value>]".
  integer function fail(what, value)
    character(len=*), intent(in) :: what
    character(len=*), intent(in), optional :: value
    if (present(value)) then
      write (error_unit, '(a)') program_name // ': ' // what // ': ' // value
    else
      write (error_unit, '(a)') program_name // ': ' // what
    end if
    fail = 2
  end function fail

  function argument(i) result(arg)
    integer, intent(in) :: i
    character(len=:), allocatable :: arg
    integer :: length
    call get_command_argument(i, length=length)
    allocate (character(len=length) :: arg)
    call get_command_argument(i, arg)
  end function argument

  subroutine print_usage()
    print '(a)', 'usage: ' // program_name // &
        ' [--lattice chain|cubic] [--L N] [--beta B] [--therm N] [--sweeps N]', &
        '       [--bins N] [--seed N] [--start cold|hot] [--order checkerboard|sequential]', &
        '       [--draw library|inversion] [--engine default|tables|exponential] [--table FILE]', &
        '', &
        'Heat-bath Monte Carlo of the classical Heisenberg model, H = -sum s_i.s_j over', &
        'nearest neighbours, on a periodic chain or simple cubic lattice of side L.', &
        '', &
        '  --lattice   chain or cubic (cubic)', &
        '  --L         side of the lattice, at least 2, even in checkerboard order (16)', &
        '  --beta      inverse temperature, 0 to 1e6 (0.693, near the 3D critical point)', &
        '  --therm     sweeps before measuring (1000)', &
        '  --sweeps    measurement sweeps, one measurement each (10000)', &
        '  --bins      bins of the error analysis, 2 to 1000, at most --sweeps (32)', &
        '  --seed      seed of the streams of random words, 0 to 2^63 - 1 (1)', &
        '  --start     cold (every spin along z) or hot (uniform on the sphere) (cold)', &
        '  --order     checkerboard: the sites of even x + y + z, then the odd ones, the', &
        '              planes of z shared out among the threads or processes, each plane', &
        '              drawn from its own stream, so that any number of them gives the', &
        '              same run; sequential: one site after the other (checkerboard)', &
        '  --draw      library: y from the sampler library; inversion: by exact', &
        '              inversion of its distribution, the reference of the tests (library)', &
        '  --engine    of the library: default (its fastest, no table), tables (O3.res)', &
        '              or exponential (no table) (default)', &
        '  --table     the O3.res of --engine tables (O3.res)', &
        '  -h, --help  this help', &
        '', &
        'The threads are OpenMP''s (OMP_NUM_THREADS). The run prints the energy per', &
        'bond, |m| and the Binder ratio with their errors, and the fingerprint of the', &
        'last configuration, the same for any number of threads or processes.'
  end subroutine print_usage

  ! ---------------------------------------------------------------------
  ! The lattice: site (x, y, z) is s(:, x + L (y + L z)), plane w the sites
  ! of z = w (of x = w in the chain), as in heat_bath.

  ! beta times the sum of the neighbours of site i of plane w, in the order
  ! x - 1, x + 1, y - 1, y + 1, the plane before, the plane after.
  function site_field(w, i) result(f)
    integer, intent(in) :: w, i
    real(real64) :: f(3)
    integer :: x, yy, base
    base = w * plane_sites
    if (dim == 3) then
      x = modulo(i, L)
      yy = i / L
      f = s(:, base + modulo(x - 1, L) + L * yy)
      f = f + s(:, base + modulo(x + 1, L) + L * yy)
      f = f + s(:, base + x + L * modulo(yy - 1, L))
      f = f + s(:, base + x + L * modulo(yy + 1, L))
      f = f + s(:, modulo(w - 1, planes) * plane_sites + i)
    else
      f = s(:, modulo(w - 1, planes) * plane_sites + i)
    end if
    f = f + s(:, modulo(w + 1, planes) * plane_sites + i)
    f = f * beta
  end function site_field

  real(real64) function length(f)
    real(real64), intent(in) :: f(3)
    length = sqrt((f(1) * f(1) + f(2) * f(2)) + f(3) * f(3))
  end function length

  ! The spin with cos theta = cos_theta to the field f (h = |f|) and
  ! azimuth 2 pi u_phi, in a frame around f built without a branch on its
  ! direction (Duff et al., 2017); any axis for h below 1e-100.
  function spin_around(f, hh, cos_theta, u_phi) result(spin)
    real(real64), intent(in) :: f(3), hh, cos_theta, u_phi
    real(real64) :: spin(3), nrm(3), e1(3), e2(3), r, phi, c, sn, sgn, a, b
    r = sqrt((1 - cos_theta) * (1 + cos_theta))
    phi = two_pi * u_phi
    c = r * cos(phi)
    sn = r * sin(phi)
    nrm = [0.0_real64, 0.0_real64, 1.0_real64]
    if (.not. (hh < 1e-100_real64)) nrm = f / hh
    sgn = sign(1.0_real64, nrm(3))
    a = -1 / (sgn + nrm(3))
    b = (nrm(1) * nrm(2)) * a
    e1 = [1 + ((sgn * nrm(1)) * nrm(1)) * a, sgn * b, -sgn * nrm(1)]
    e2 = [b, sgn + (nrm(2) * nrm(2)) * a, -nrm(2)]
    spin = ((cos_theta * nrm) + (c * e1)) + (sn * e2)
  end function spin_around

  ! y for coupling hh by exact inversion of its distribution function, from
  ! one uniform u (heat_bath's y_by_inversion).
  real(real64) function inversion(hh, u)
    real(real64), intent(in) :: hh, u
    if (hh < 1e-100_real64) then
      inversion = 2 * u - 1
      return
    else if (hh < 0.5_real64) then
      inversion = 1 + log1p((1 - u) * expm1(-2 * hh)) / hh
    else
      inversion = 1 + log(u + (1 - u) * exp(-2 * hh)) / hh
    end if
    inversion = max(inversion, -1.0_real64)
  end function inversion

  ! The cold start, or each plane w from its stream (seed, 0, w).
  subroutine start()
    type(o3_stream) :: stream
    real(real64) :: u_z, z, r, phi
    integer :: w, i
    s(1:2, :) = 0
    s(3, :) = 1
    if (.not. hot) return
    do w = 0, planes - 1
      call o3_stream_seed_at(stream, seed, 0_int64, int(w, int64))
      do i = w * plane_sites, (w + 1) * plane_sites - 1
        u_z = o3_rng_uniform(stream%rng)
        z = 2 * u_z - 1
        r = sqrt((1 - z) * (1 + z))
        phi = two_pi * o3_rng_uniform(stream%rng)
        s(:, i) = [r * cos(phi), r * sin(phi), z]
      end do
    end do
  end subroutine start

  ! The parity of x + y of site i of a plane (0 in the chain's planes of
  ! one site): the sites of half-sweep p in plane w are those of parity
  ! p + w.
  integer function in_plane_parity(i)
    integer, intent(in) :: i
    in_plane_parity = 0
    if (dim == 3) in_plane_parity = modulo(modulo(i, L) + i / L, 2)
  end function in_plane_parity

  ! Half-sweep p of checkerboard sweep n: the sites of parity p of every
  ! plane w, their fields, then their y all at once, then their spins, from
  ! the stream (seed, 2 n + p, w); the planes on OpenMP's threads.
  subroutine half_sweep(n, p)
    integer(int64), intent(in) :: n
    integer, intent(in) :: p
    type(o3_stream) :: stream
    integer(int64) :: step
    integer :: w, i, k, count, parity, t
    step = 2 * n + p
    t = 0
    !$omp parallel do num_threads(threads) schedule(static) default(shared) &
    !$omp   private(stream, i, k, count, parity, t) reduction(+:updates, outside, errors)
    do w = 0, planes - 1
      !$ t = omp_get_thread_num()
      parity = int(modulo(step + w, 2_int64))
      count = 0
      do i = 0, plane_sites - 1
        if (in_plane_parity(i) /= parity) cycle
        count = count + 1
        field(:, count, t) = site_field(w, i)
        h(count, t) = length(field(:, count, t))
      end do
      if (count == 0) cycle
      call o3_stream_seed_at(stream, seed, step, int(w, int64))
      if (library) then
        call o3_draw_many(table, h(:count, t), y(:count, t), stream)
      else
        do k = 1, count
          y(k, t) = inversion(h(k, t), o3_rng_uniform(stream%rng))
        end do
      end if
      k = 0
      do i = 0, plane_sites - 1
        if (in_plane_parity(i) /= parity) cycle
        k = k + 1
        s(:, w * plane_sites + i) = spin_around(field(:, k, t), h(k, t), y(k, t), &
            o3_rng_uniform(stream%rng))
      end do
      updates = updates + count
      outside = outside + stream%counts%outside
      errors = errors + stream%counts%errors
    end do
    !$omp end parallel do
  end subroutine half_sweep

  ! One site after the other in memory order, every word from one stream.
  subroutine sequential_sweep()
    real(real64) :: f(3), hh, cos_theta
    integer :: w, i
    integer(int64) :: before(2)
    before = [sequential%counts%outside, sequential%counts%errors]
    do w = 0, planes - 1
      do i = 0, plane_sites - 1
        f = site_field(w, i)
        hh = length(f)
        if (library) then
          cos_theta = o3_draw(table, hh, sequential)
        else
          cos_theta = inversion(hh, o3_rng_uniform(sequential%rng))
        end if
        s(:, w * plane_sites + i) = spin_around(f, hh, cos_theta, o3_rng_uniform(sequential%rng))
      end do
    end do
    updates = updates + size(s, 2)
    outside = outside + sequential%counts%outside - before(1)
    errors = errors + sequential%counts%errors - before(2)
  end subroutine sequential_sweep

  ! ---------------------------------------------------------------------
  ! Measurements, in bins of successive sweeps (measurement k in bin
  ! k bins / sweeps), and their errors by a jackknife over the bins.

  real(real64) function dot(a, b)
    real(real64), intent(in) :: a(3), b(3)
    dot = (a(1) * b(1) + a(2) * b(2)) + a(3) * b(3)
  end function dot

  ! The energy per bond, |m|, m^2 and m^4 of the configuration, from the
  ! sums of its planes (the bonds each owns in +x, +y and to the next plane)
  ! added in their order.
  subroutine measure(k)
    integer(int64), intent(in) :: k
    integer :: w, i, base, next, bin
    real(real64) :: total, m(3)
    !$omp parallel do num_threads(threads) schedule(static) private(i, base, next)
    do w = 0, planes - 1
      base = w * plane_sites
      next = modulo(w + 1, planes) * plane_sites
      plane_bonds(w) = 0
      plane_m(:, w) = 0
      do i = 0, plane_sites - 1
        if (dim == 3) then
          plane_bonds(w) = plane_bonds(w) + dot(s(:, base + i), &
              s(:, base + merge(i + 1, i + 1 - L, modulo(i, L) + 1 < L)))
          plane_bonds(w) = plane_bonds(w) + dot(s(:, base + i), &
              s(:, base + merge(i + L, i + L - plane_sites, i + L < plane_sites)))
        end if
        plane_bonds(w) = plane_bonds(w) + dot(s(:, base + i), s(:, next + i))
        plane_m(:, w) = plane_m(:, w) + s(:, base + i)
      end do
    end do
    !$omp end parallel do
    total = 0
    m = 0
    do w = 0, planes - 1
      total = total + plane_bonds(w)
      m = m + plane_m(:, w)
    end do
    m = m / real(size(s, 2), real64)
    value(m2) = (m(1) * m(1) + m(2) * m(2)) + m(3) * m(3)
    value(energy) = -total / (real(dim, real64) * real(size(s, 2), real64))
    value(m_abs) = sqrt(value(m2))
    value(m4) = value(m2) * value(m2)
    bin = int(k * bins / sweeps)
    bin_count(bin) = bin_count(bin) + 1
    bin_sum(:, bin) = bin_sum(:, bin) + value
    sum_sq = sum_sq + value * value
  end subroutine measure

  ! The estimate from every bin but left_out (-1: from all), of series q,
  ! or of the Binder ratio <m^4>/<m^2>^2 for q = 0.
  real(real64) function without(left_out, q)
    integer, intent(in) :: left_out, q
    real(real64) :: c, t(4)
    integer :: b
    c = 0
    t = 0
    do b = 0, bins - 1
      if (b == left_out) cycle
      c = c + bin_count(b)
      t = t + bin_sum(:, b)
    end do
    if (q > 0) then
      without = t(q) / c
    else
      without = (t(m4) / c) / ((t(m2) / c) * (t(m2) / c))
    end if
  end function without

  ! Mean, error and (for a series) tau_int: 1/2 for independent sweeps.
  function estimate(q) result(e)
    integer, intent(in) :: q
    real(real64) :: e(3), partial, spread, variance
    integer :: b
    e(1) = without(-1, q)
    partial = 0
    do b = 0, bins - 1
      partial = partial + without(b, q)
    end do
    partial = partial / bins
    spread = 0
    do b = 0, bins - 1
      spread = spread + (without(b, q) - partial) * (without(b, q) - partial)
    end do
    e(2) = sqrt((bins - 1) / real(bins, real64) * spread)
    e(3) = ieee_value(e(3), ieee_quiet_nan)
    if (q == 0) return
    variance = sum_sq(q) / sweeps - e(1) * e(1)
    if (variance > 0) e(3) = 0.5_real64 * e(2) * e(2) * sweeps / variance
  end function estimate

  ! ---------------------------------------------------------------------
  ! What heat_bath prints, line for line.

  ! x with d decimals, as C's "%.*f".
  function fixed(x, d) result(text)
    real(real64), intent(in) :: x
    integer, intent(in) :: d
    character(len=:), allocatable :: text
    character(len=64) :: buffer
    character(len=16) :: form
    if (ieee_is_nan(x)) then
      text = 'nan'
      return
    end if
    write (form, '(a, i0, a)') '(f64.', d, ')'
    write (buffer, form) x
    text = trim(adjustl(buffer))
    if (d == 0) text = text(:len(text) - 1)
  end function fixed

  ! x with six decimals, as O3.res keeps them, trailing zeros dropped.
  function six(x) result(text)
    real(real64), intent(in) :: x
    character(len=:), allocatable :: text
    text = fixed(x, 6)
    do while (text(len(text):) == '0')
      text = text(:len(text) - 1)
    end do
    if (text(len(text):) == '.') text = text(:len(text) - 1)
  end function six

  function int_text(i) result(text)
    integer(int64), intent(in) :: i
    character(len=:), allocatable :: text
    character(len=24) :: buffer
    write (buffer, '(i0)') i
    text = trim(buffer)
  end function int_text

  function engine_name() result(name)
    character(len=:), allocatable :: name
    name = 'default'
    if (engine == o3_engine_tables) name = 'tables'
    if (engine == o3_engine_exponential) name = 'exponential'
  end function engine_name

  subroutine print_header()
    character(len=:), allocatable :: line
    print '(a)', 'O(3) heat bath: ' // trim(merge('chain        ', 'cubic lattice', dim == 1)) // &
        ', L = ' // int_text(int(L, int64)) // ', beta = ' // beta_text
    line = 'y draw: ' // merge('library  ', 'inversion', library)
    line = trim(line)
    if (library) line = line // ', ' // engine_name() // ' engine'
    if (library .and. engine == o3_engine_tables) line = line // ', ' // table_path // &
        ' (H0 = ' // six(o3_h0(table)) // ', H_max = ' // six(o3_h_max(table)) // ')'
    print '(a)', line // '; ' // trim(merge('checkerboard', 'sequential  ', checkerboard)) // &
        ' sweeps, ' // trim(merge('hot ', 'cold', hot)) // ' start, seed ' // int_text(seed)
    print '(a)', int_text(therm) // ' thermalisation sweeps, ' // int_text(sweeps) // &
        ' measurements (one per sweep) in ' // int_text(int(bins, int64)) // ' bins'
    print '(a)', ''
  end subroutine print_header

  ! Two significant digits of the error, the mean to the same place.
  subroutine print_estimate(name, e, with_tau)
    character(len=*), intent(in) :: name
    real(real64), intent(in) :: e(3)
    logical, intent(in) :: with_tau
    character(len=24) :: padded
    integer :: d
    d = 6
    if (e(2) > 0) d = 1 - floor(log10(e(2)))
    d = min(max(d, 0), 12)
    padded = name
    if (with_tau) then
      print '(a)', padded // ' ' // fixed(e(1), d) // ' +- ' // fixed(e(2), d) // &
          '   (tau_int ' // fixed(e(3), 1) // ' sweeps)'
    else
      print '(a)', padded // ' ' // fixed(e(1), d) // ' +- ' // fixed(e(2), d)
    end if
  end subroutine print_estimate

  ! The energy per bond of the infinite chain, -(coth beta - 1/beta), its
  ! series below 1e-2.
  real(real64) function chain_energy()
    if (beta < 1e-2_real64) then
      chain_energy = -beta * (1 / 3.0_real64 - (beta * beta) * (1 / 45.0_real64 - &
          (beta * beta) * (2 / 945.0_real64)))
    else
      chain_energy = -(1 / tanh(beta) - 1 / beta)
    end if
  end function chain_energy

  ! The command that makes the table for this simulation where --table looks
  ! for it, or, past what o3tables makes, what to do instead.
  subroutine print_advice(unit)
    integer, intent(in) :: unit
    character(len=:), allocatable :: dir, file
    real(real64) :: largest
    integer :: slash
    largest = 2 * dim * beta
    if (largest >= 3200) then
      write (unit, '(a)') 'o3tables makes tables up to H_max = 3200, below 2 d beta = ' // &
          six(largest) // ': draw with --engine default, which needs none'
      return
    end if
    slash = index(table_path, '/', back=.true.)
    dir = table_path(:max(slash - 1, min(slash, 1)))
    file = 'O3.res'
    if (len(dir) > 0) file = dir // '/O3.res'
    if (len(dir) > 0) then
      if (dir(len(dir):) == '/') file = dir // 'O3.res'
    end if
    write (unit, '(a)') 'this command makes the table for this simulation, ' // file // ':'
    if (len(dir) > 0) dir = '-C ' // dir // ' '
    write (unit, '(a)') '    o3tables ' // dir // '--lattice ' // &
        trim(merge('chain', 'cubic', dim == 1)) // ' --beta ' // beta_text // ' --losses 10 --yes'
  end subroutine print_advice

  function hex(f) result(text)
    integer(int64), intent(in) :: f
    character(len=16) :: text
    character(len=*), parameter :: digits = '0123456789abcdef'
    integer :: k, d
    do k = 1, 16
      d = int(ibits(f, 4 * (16 - k), 4))
      text(k:k) = digits(d + 1:d + 1)
    end do
  end function hex

  ! The fingerprint of heat_bath's lattice_fingerprint: each plane's 32-bit
  ! halves in two lanes h = (h M + half) mod P, the planes' in turn.
  integer(int64) function fingerprint()
    integer(int64), parameter :: p1 = 2147483647_int64, m1 = 1588635695_int64, &
        p2 = 2147483629_int64, m2_ = 1117695901_int64, low = 4294967295_int64
    integer(int64) :: h1, h2, f1, f2, bits, half
    integer :: w, i, c, k
    f1 = 0
    f2 = 0
    do w = 0, planes - 1
      h1 = 0
      h2 = 0
      do i = w * plane_sites, (w + 1) * plane_sites - 1
        do c = 1, 3
          bits = transfer(s(c, i), bits)
          do k = 0, 1
            half = iand(ishft(bits, -32 * k), low)
            h1 = modulo(h1 * m1 + half, p1)
            h2 = modulo(h2 * m2_ + half, p2)
          end do
        end do
      end do
      f1 = modulo(f1 * m1 + h1, p1)
      f2 = modulo(f2 * m2_ + h2, p2)
    end do
    fingerprint = ior(ishft(f1, 32), f2)
  end function fingerprint

  subroutine print_results()
    real(real64) :: e(3), mm(3), tau, bin
    integer :: workers
    e = estimate(energy)
    mm = estimate(m_abs)
    call print_estimate('energy per bond', e, .true.)
    call print_estimate('|m|', mm, .true.)
    call print_estimate('<m^4>/<m^2>^2', estimate(0), .false.)
    if (dim == 1) then
      block
        character(len=24) :: padded
        padded = 'infinite chain, exact'
        print '(a)', padded // ' ' // fixed(chain_energy(), 6)
      end block
    end if
    tau = merge(e(3), mm(3), e(3) > mm(3)) - 0.5_real64
    bin = real(sweeps, real64) / real(bins, real64)
    if (tau > 0.1_real64 * bin) print '(a)', 'warning: bins of ' // fixed(bin, 0) // &
        ' sweeps are less than 10 tau_int: the errors are underestimated by about ' // &
        fixed(100 * tau / (2 * bin), 0) // ' %; run more sweeps or take fewer bins'
    print '(a)', 'fingerprint of the last configuration: ' // hex(fingerprint())
    if (library .and. engine == o3_engine_tables) then
      print '(a)', ''
      print '(a)', 'draws outside the table''s range: ' // int_text(outside) // ' of ' // &
          int_text(updates)
      if (outside > 0) then
        print '(a)', 'warning: the table covers [' // six(o3_h0(table)) // ', ' // &
            six(o3_h_max(table)) // '), the couplings of this simulation [0, ' // &
            six(2 * dim * beta) // ']: those outside it were drawn exactly, but slower'
        call print_advice(output_unit)
      end if
    end if
    if (errors > 0) print '(a)', 'error: ' // int_text(errors) // ' couplings were not finite'
    workers = merge(threads, 1, checkerboard)
    print '(a)', 'time: ' // fixed(seconds, 2) // ' s, ' // &
        fixed(merge(1e9_real64 * seconds / real(updates, real64), 0.0_real64, updates > 0), 1) // &
        ' ns per spin update, ' // int_text(int(workers, int64)) // ' thread' // &
        trim(merge(' ', 's', workers == 1))
  end subroutine print_results

end program heat_bath_fortran
